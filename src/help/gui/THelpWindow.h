#pragma once
// The manual's own window: a page, its table of contents one click away, back and forward through
// the pages seen, and a search in the page shown.
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolButton;

class THelpWindow : public QWidget
{
    Q_OBJECT
public:
    // `folder` holds the manual's pages; links between them stay inside it.
    THelpWindow(QWidget *owner, const QString &folder);

    void ShowPage(const QString &page);
    // The file name of the page shown, such as "contents.html".
    QString CurrentPage() const;
    QString Folder() const { return m_folder; }
    // Centred over `owner` (or the primary screen), shrunk to a smaller screen and moved so its
    // whole frame lies within the screen's available area.
    void PlaceOver(const QWidget *owner);

    // Looks for the text from the cursor on, wrapping round once; false when it is not there.
    bool FindText(const QString &text, bool backward = false);

private:
    void UpdateButtons();

    QString m_folder;
    QTextBrowser *m_browser = nullptr;
    QToolButton *m_back = nullptr, *m_forward = nullptr, *m_contents = nullptr;
    QLineEdit *m_find = nullptr;
    QLabel *m_findState = nullptr;
};
