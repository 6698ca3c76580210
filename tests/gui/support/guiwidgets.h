#pragma once
// Reaching and driving the widgets of a window the way a user would: by objectName, by a click on
// a row, by typing a file name into a file dialog.
#include <QDialog>
#include <QMainWindow>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class CCommData;
class CPortSession;
class QFileDialog;
class QTreeView;
class QTreeWidget;
class TfrmRecDataList;

// The named child; a missing one fails the test instead of crashing it at once.
template <typename T> T *Find(const QWidget &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

template <typename T> T *Find(const QWidget *parent, const char *name)
{
    return Find<T>(*parent, name);
}

// The window's feature of class T: the features are the window's own children.
template <typename T> T *Feature(const QWidget &window)
{
    T *found = window.findChild<T *>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_NE(found, nullptr);
    return found;
}

// A main window for a test that drives it as a user would, through its widgets and features.
// Window `number` (1 is the first) has its own files and settings group but shares no lists with
// another window of the test.
std::unique_ptr<QMainWindow> NewMainWindow(int number = 1);
// The session behind a main window: its counters, automatic sending, the port's events.
CPortSession &SessionOf(QWidget &window);
// Sends `item` the way the window's own sends go (a refusal is told to the user); from any thread.
void SendItem(QWidget &window, const CCommData &item);
// Gives the window its received list, on the window's own file, as the application does.
TfrmRecDataList &GiveReceivedList(QWidget &window);
// Adds `block` to the send list the one way a user can: `list`, the window's received list, gets
// it and is shown, and the block, its only row, is chosen for the send list.
void AddThroughReceivedList(QWidget &window, TfrmRecDataList &list, const CCommData &block);
// The send list the window shows, which all windows share.
const std::vector<CCommData> &SendListOf(const QWidget &window);

// The text of the main window's status bar panel `i`.
QString StatusPanel(const QWidget &window, int i);
// The last line of the main window's traffic log, as shown; empty while the log is.
std::string LastLogLine(const QWidget &window);
// Types `text` into the instant edit and sends it with Return, then waits until the send is
// written and counted (sends are written on the sender thread; the log follows on the event loop).
void TypeAndSend(QWidget &window, const QString &text);

// Clicks the middle of a row, which selects it alone.
void ClickRow(QTreeWidget *list, int row);
void ClickRow(QTreeView *view, int row);

// Types the path into the file dialog's name field, as a user would, and confirms it.
void TypeFileName(QDialog *dialog, const QString &path);
// The same once the ModalCatcher answering the dialog has returned, so that a question the dialog
// asks on the way (replace the existing file?) reaches the catcher too.
void TypeFileNameLater(QDialog *dialog, const QString &path);

// Chooses the path without typing; the dialog stays open.
void SelectFile(QFileDialog *files, const QString &path);
