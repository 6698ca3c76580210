#include "guiwidgets.h"

#include "guiwait.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TSendListPanel.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

std::unique_ptr<QMainWindow> NewMainWindow(int number)
{
    return std::make_unique<TfrmMain>(number, nullptr);
}

CPortSession &SessionOf(QWidget &window)
{
    return dynamic_cast<TfrmMain &>(window).Session();
}

void SendItem(QWidget &window, const CCommData &item)
{
    dynamic_cast<TfrmMain &>(window).SendItem(item);
}

void AddThroughReceivedList(QWidget &window, TfrmRecDataList &list, const CCommData &block)
{
    list.AddRecData(block);
    ModalCatcher add([](QDialog *d) {
        auto *rows = d->findChild<QTreeView *>(QStringLiteral("lsvRecData"));
        ASSERT_TRUE(rows && rows->model()->rowCount() == 1);
        rows->selectionModel()->select(rows->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        d->findChild<QPushButton *>(QStringLiteral("btnAddtoSendData"))->click();
        d->reject();
    });
    Find<QAction>(window, "mnuSettingRecDataList")->trigger();
    EXPECT_EQ(add.Seen(), QStringList{"frmRecDataList"});
}

const std::vector<CCommData> &SendListOf(const QWidget &window)
{
    return Feature<TSendListPanel>(window)->Items();
}

TfrmRecDataList &GiveReceivedList(QWidget &window)
{
    auto &main = dynamic_cast<TfrmMain &>(window);
    auto *list = new TfrmRecDataList(&main, main.RecDataFilePath());
    main.SetRecDataList(list);
    return *list;
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

void TypeAndSend(QWidget &window, const QString &text)
{
    auto *edit = Find<QTextEdit>(window, "edSendItem");
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&window] { return SessionOf(window).SendsSettled(); }));
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
