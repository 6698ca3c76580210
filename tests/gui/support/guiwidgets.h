#pragma once
// Reaching and driving the widgets of a window the way a user would: by objectName, by a click on
// a row, by typing a file name into a file dialog.
#include <QDialog>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>

class QFileDialog;
class QMainWindow;
class QTreeView;
class QTreeWidget;
class TfrmMain;

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

// A main window for a test that only drives its widgets, as a user would.
std::unique_ptr<QMainWindow> NewMainWindow();

// The text of the main window's status bar panel `i`.
QString StatusPanel(const QWidget &window, int i);
// The last line of the main window's traffic log, as shown; empty while the log is.
std::string LastLogLine(const QWidget &window);
// Types `text` into the instant edit and sends it with Return, then waits until the send is
// written and counted (sends are written on the sender thread; the log follows on the event loop).
void TypeAndSend(TfrmMain &window, const QString &text);

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
