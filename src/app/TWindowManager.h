#pragma once
// The main windows of one process. Window 1 is the first; a window opened later takes the lowest
// number no open window has (so 2 and up while the first is open). Closing a window that is not
// the last closes only that one; the last one, or File > Exit, ends the program, and the
// windows open then come back at the next start.
#include <QObject>
#include <memory>
#include <vector>

class TfrmMain;
class QWidget;
class TSharedStore;

class TWindowManager : public QObject
{
    Q_OBJECT
public:
    TWindowManager();
    // Closes the windows left (each saves its settings and files), then notes which were open.
    ~TWindowManager() override;

    // Opens the windows that were open at the last exit, or the first window; returns the one
    // with the lowest number. Nothing is shown yet. Throws what a window's start-up throws.
    TfrmMain *Start();
    void ShowAll();
    // Opens, shows and activates another window, and returns it. Throws what a window's
    // start-up throws.
    TfrmMain *OpenWindow();

    // The open windows, in the order they were opened.
    const std::vector<TfrmMain *> &Windows() const { return m_windows; }
    TfrmMain *Window(int number) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TfrmMain *Create(int number);
    void Place(TfrmMain *window, const QWidget *previous) const;
    int FreeNumber() const;

    std::shared_ptr<TSharedStore> m_store;
    std::vector<TfrmMain *> m_windows;
    std::vector<TfrmMain *> m_closing; // closed, to be deleted once their close has run
    bool m_ending = false;
};
