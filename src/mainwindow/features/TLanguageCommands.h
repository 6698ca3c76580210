#pragma once
// View > Language: the language of the program's texts, kept in the settings for every window and
// put in force at the next start, before the first window is made (platform/gui/language.h).
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QSettings;
class QWidget;
class TMenuSlots;

class TLanguageCommands : public QObject
{
    Q_OBJECT
public:
    // The choice belongs to the program, not to the window: it is read from where every window's
    // store starts and written where the user makes it, so a window closing later cannot put back
    // what it read.
    TLanguageCommands(QWidget *window, TMenuSlots &menus, std::function<void(const QString &)> showMessage);

private:
    void ShowChosen();
    void Choose(const QString &code);

    std::function<void(const QString &)> m_showMessage;
    std::vector<std::pair<QString, QAction *>> m_items;
    QString m_chosen;
};
