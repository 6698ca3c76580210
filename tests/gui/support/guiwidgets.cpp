#include "guiwidgets.h"

#include "guiwait.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

std::unique_ptr<QMainWindow> NewMainWindow()
{
    return std::make_unique<TfrmMain>();
}

QString StatusPanel(const QWidget &window, int i)
{
    return window.findChild<QLabel *>(QStringLiteral("stbComStatusPanel%1").arg(i))->text();
}

std::string LastLogLine(const QWidget &window)
{
    const auto *log = window.findChild<TTrafficLog *>(QStringLiteral("edData"));
    return log->LineCount() ? log->LineText(log->LineCount() - 1) : std::string();
}

void TypeAndSend(TfrmMain &window, const QString &text)
{
    auto *edit = Find<QTextEdit>(window, "edSendItem");
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&window] { return window.Session().SendsSettled(); }));
}

void ClickRow(QTreeWidget *list, int row)
{
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void ClickRow(QTreeView *view, int row)
{
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

void TypeFileName(QDialog *dialog, const QString &path)
{
    auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit");
    ASSERT_NE(edit, nullptr) << dialog->objectName().toStdString();
    edit->setText(path);
    QTest::keyClick(edit, Qt::Key_Return);
}

void TypeFileNameLater(QDialog *dialog, const QString &path)
{
    QTimer::singleShot(0, dialog, [dialog, path] { TypeFileName(dialog, path); });
}

void SelectFile(QFileDialog *files, const QString &path)
{
    // The name field ignores selectFile() while it has the focus, which it gets at some point
    // after showing; take the focus away first.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    files->selectFile(path);
}
