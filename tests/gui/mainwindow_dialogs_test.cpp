// The main window's commands that go through other windows: the link manager, the send data list
// manager, the ASCII table and the received data list.
#include "data/symboltable.h"
#include "link/linklist.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "session/portsession.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>

#include "guilink.h"
#include "guitestenv.h"
#include "guitraffic.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

// What the instant edit shows of `bytes` as text with symbols.
QString ShownWithSymbols(QMainWindow &w, const Bytes &bytes)
{
    Feature<TInstantSend>(w)->SetItem(CCommData(bytes, FMT_STR_SYMBOL));
    return Find<QTextEdit>(w, "edSendItem")->toPlainText();
}

} // namespace

TEST(MainWindowDialogs, LinkManagerOpensTheChosenLink)
{
    GuiTestEnv env;
    CTestPty pty;
    const COM_PORT_SETTING link = Link("Bench", pty.Path());
    WriteTextLines(env.File("Default.cps"), {LinkToLine(link)});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;

    {
        ModalCatcher cancel([](QDialog *d) { d->reject(); });
        Find<QToolButton>(w, "btnLinkList")->click();
        EXPECT_EQ(cancel.Seen(), QStringList{"frmOpenPort"});
        EXPECT_FALSE(SessionOf(w).IsOpen());
    }
    ModalCatcher open([](QDialog *d) {
        auto *list = d->findChild<QTreeWidget *>(QStringLiteral("lstLinkList"));
        ASSERT_TRUE(list && list->topLevelItemCount() == 1);
        list->setCurrentItem(list->topLevelItem(0));
        d->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
    });
    Find<QAction>(w, "mnuOpOpenPort")->trigger();
    EXPECT_EQ(open.Seen(), QStringList{"frmOpenPort"});
    ASSERT_TRUE(SessionOf(w).IsOpen());
    ASSERT_TRUE(Feature<TPortCommands>(w)->LastLink().has_value());
    EXPECT_EQ(*Feature<TPortCommands>(w)->LastLink(), link);
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(), "Port: " + QString::fromStdString(pty.Path()));
}

TEST(MainWindowDialogs, SendListManagerClosingReloadsThePanelFromTheFile)
{
    GuiTestEnv env;
    WriteTextLines(env.File("Default.sds"), {"\"A\",Hex,\"01 \""});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    auto *list = Find<QTreeWidget>(w, "lsvSendData");
    AddThroughReceivedList(w, GiveReceivedList(w), CCommData(Bytes{9}));
    EXPECT_EQ(list->topLevelItemCount(), 2);

    WriteTextLines(env.File("Default.sds"), {"\"B\",Hex,\"02 \"", "\"C\",String,\"78 22 79 0D 0A \""});
    ModalCatcher cancel([](QDialog *d) { d->reject(); });
    Find<QAction>(w, "mnuSettingSendSetting")->trigger();
    EXPECT_EQ(cancel.Seen(), QStringList{"frmSendDataList"});
    ASSERT_EQ(list->topLevelItemCount(), 2) << "cancel still reloads, and items added meanwhile are gone";
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("B"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QString::fromUtf8("x\"y\u240D\u240A"))
        << "a quote in the data does not cut the row short, and the row stays one line";
    EXPECT_EQ(SendListOf(w).size(), 2u);

    std::remove(env.File("Default.sds").c_str());
    Find<QAction>(w, "mnuSendDataSetting")->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 0) << "a missing file leaves the panel without rows";
    EXPECT_TRUE(SendListOf(w).empty());
}

TEST(MainWindowDialogs, SymbolsStartWithStandardNamesUntilTheAsciiTableSavesThem)
{
    GuiTestEnv env;
    {
        const auto firstMade = NewMainWindow();
        QMainWindow &first = *firstMade;
        Find<QToolButton>(first, "btnTextSymbol")->click();
        Receive(first, Bytes{'A', 0x0D, 0x0A, 0x7F});
        EXPECT_EQ(Find<TTrafficLog>(first, "edData")->LineText(0), "Rec  :A<CR><LF><DEL>");
    }
    EXPECT_FALSE(FileExists(env.File("Default.sym"))) << "starting and closing writes no table";
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    EXPECT_EQ(ShownWithSymbols(w, Bytes{'a', 0x07}), QStringLiteral("a<BEL>"));
    CSymbolTable table;
    table.Reset();
    table.SetEntry(0x07, ST_Symbol{true, false, "BEL"});
    table.Save(env.File("Default.sym"));
    ModalCatcher close([](QDialog *d) { d->reject(); });
    Find<QAction>(w, "mnuViewAsciiTable")->trigger();
    EXPECT_EQ(close.Seen(), QStringList{"frmAscTable"});
    EXPECT_EQ(ShownWithSymbols(w, Bytes{'a', 0x07}), QStringLiteral("aBEL"));
    EXPECT_FALSE(ShownWithSymbols(w, Bytes{0x0D}).contains(QStringLiteral("<CR>"))) << "the saved file rules";
}

TEST(MainWindowDialogs, ReceivedListIsShownModallyAndFeedsTheSendList)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    AddThroughReceivedList(w, GiveReceivedList(w), CCommData(Bytes{0x31, 0x32}, FMT_STRING));
    ASSERT_EQ(SendListOf(w).size(), 1u);
    EXPECT_EQ(SendListOf(w)[0].Data(), (Bytes{0x31, 0x32}));
    EXPECT_EQ(Find<QTreeWidget>(w, "lsvSendData")->topLevelItemCount(), 1);
}

TEST(MainWindowDialogs, DialogsOpenCentredOverTheirOwnerAndCannotBeResized)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    GiveReceivedList(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.move(w.pos() + QPoint(-20, 30));
    ASSERT_NE(w.frameGeometry().center(), w.screen()->availableGeometry().center())
        << "off the screen's centre, so only centring on the owner passes";

    QStringList seen;
    auto check = [&seen](QDialog *d, const QWidget *owner) {
        seen << d->objectName();
        EXPECT_EQ(d->minimumSize(), d->maximumSize()) << d->objectName().toStdString();
        const QPoint off = d->frameGeometry().center() - owner->frameGeometry().center();
        EXPECT_LE(off.manhattanLength(), 2) << d->objectName().toStdString();
    };
    // The dialogs a dialog opens are checked against the one that opened them.
    const std::map<QString, const char *> inner{
        {"frmOpenPort", "btnNew"}, {"frmSendDataList", "btnNew"}, {"frmAscTable", "btnEditSymbol"}};
    for (const char *command : {"mnuOpOpenPort", "mnuSettingAutoSend", "mnuSettingSendSetting",
                                "mnuSettingRecDataList", "mnuViewAsciiTable", "mnuHelpAbout"}) {
        ModalCatcher outer([&](QDialog *d) {
            check(d, &w);
            if (auto found = inner.find(d->objectName()); found != inner.end()) {
                if (auto *rows = d->findChild<QTreeWidget *>(); rows && rows->topLevelItemCount() > 0)
                    rows->setCurrentItem(rows->topLevelItem(0));
                ModalCatcher nested([&](QDialog *n) {
                    check(n, d);
                    n->reject();
                });
                Find<QPushButton>(d, found->second)->click();
            }
            d->reject();
        });
        Find<QAction>(w, command)->trigger();
    }
    EXPECT_EQ(seen,
              (QStringList{"frmOpenPort", "frmPortSetting", "frmAutoSendSetting", "frmSendDataList",
                           "frmDataEdit", "frmRecDataList", "frmAscTable", "frmEditSymbol", "frmAbout"}));
}
