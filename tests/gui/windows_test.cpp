#include "app/TWindowManager.h"
#include "autosend/event.h"
#include "autosend/rule.h"
#include "autosend/rulelist.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "senddata/sendhistory.h"
#include "session/portsession.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <thread>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

std::string Joined(const CRecDataList &list)
{
    std::string bytes;
    for (int i = 0; i < list.Count(); ++i) {
        const CCommData item = list.At(i); // a copy: the entry may be packed
        bytes.append(item.Data().begin(), item.Data().end());
    }
    return bytes;
}

std::string Stream(char tag)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += tag + std::to_string(i) + ";";
    return text;
}

void SendInPieces(CTestPty &pty, const std::string &text)
{
    for (size_t at = 0; at < text.size(); at += 7)
        pty.Send(text.substr(at, 7));
}

int SendRows(const TfrmMain *w)
{
    return Find<QTreeWidget>(w, "lsvSendData")->topLevelItemCount();
}

QSettings Store()
{
    return QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"));
}

} // namespace

TEST(Windows, TwoWindowsReceiveAtOnceEachIntoItsOwnFiles)
{
    GuiTestEnv env;
    CTestPty ptyA, ptyB;
    const std::string a = Stream('a'), b = Stream('b');
    {
        TWindowManager windows;
        TfrmMain *first = windows.Start();
        windows.ShowAll();
        TfrmMain *second = windows.OpenWindow();
        ASSERT_EQ(second->Number(), 2);
        Feature<TPortCommands>(*first)->Open(Link("A", ptyA.Path()));
        Feature<TPortCommands>(*second)->Open(Link("B", ptyB.Path()));
        ASSERT_TRUE(SessionOf(*first).IsOpen() && SessionOf(*second).IsOpen());
        EXPECT_EQ(second->windowTitle().toStdString(), "Kestrum - B (" + ptyB.Path() + ")");

        std::thread sendA([&] { SendInPieces(ptyA, a); });
        std::thread sendB([&] { SendInPieces(ptyB, b); });
        sendA.join();
        sendB.join();
        ASSERT_TRUE(WaitUntil([&] {
            return SessionOf(*first).RecBytes() == static_cast<int64_t>(a.size()) &&
                   SessionOf(*second).RecBytes() == static_cast<int64_t>(b.size());
        }));
        EXPECT_EQ(Joined(first->RecDataList()->Entries()), a);
        EXPECT_EQ(Joined(second->RecDataList()->Entries()), b);

        // Each window's sends go to its own port; both land in the one history.
        Feature<TInstantSend>(*first)->SetItem(CCommData(std::string("to A"), FMT_STRING));
        Find<QPushButton>(first, "btnSend")->click();
        Feature<TInstantSend>(*second)->SetItem(CCommData(std::string("to B"), FMT_STRING));
        Find<QPushButton>(second, "btnSend")->click();
        EXPECT_EQ(ptyA.Receive(4), (Bytes{'t', 'o', ' ', 'A'}));
        EXPECT_EQ(ptyB.Receive(4), (Bytes{'t', 'o', ' ', 'B'}));

        // File > Exit in either window ends the program, both windows counting as open.
        QTimer::singleShot(0, second, [second] { Find<QAction>(second, "mnuFileExit")->trigger(); });
        EXPECT_EQ(QCoreApplication::exec(), 0);
        EXPECT_EQ(windows.Windows().size(), 2u);
    }
    EXPECT_EQ(Store().value(QStringLiteral("OpenWindows")).toString(), QStringLiteral("1 2"));
    CRecDataList firstFile, secondFile;
    ASSERT_TRUE(firstFile.Load(env.File("TempRec.tmp")));
    ASSERT_TRUE(secondFile.Load(env.File("TempRec-2.tmp")));
    EXPECT_EQ(Joined(firstFile), a);
    EXPECT_EQ(Joined(secondFile), b);
    CSendHistory history;
    history.Load(env.File("History.sds"));
    ASSERT_EQ(history.Items().size(), 2u);
    EXPECT_EQ(history.Items()[0].Data(), (Bytes{'t', 'o', ' ', 'B'}));
    EXPECT_EQ(history.Items()[1].Data(), (Bytes{'t', 'o', ' ', 'A'}));
}

TEST(Windows, ASendListEditInOneWindowShowsInTheOther)
{
    GuiTestEnv env;
    TWindowManager windows;
    TfrmMain *first = windows.Start();
    windows.ShowAll();
    TfrmMain *second = windows.OpenWindow();
    AddThroughReceivedList(*first, *first->RecDataList(), CCommData(Bytes{1}));
    EXPECT_EQ(SendRows(second), 1);

    WriteTextLines(env.File("Default.sds"), {"\"B\",Hex,\"02 \"", "\"C\",Hex,\"03 \""});
    ModalCatcher cancel([](QDialog *d) { d->reject(); });
    Find<QAction>(second, "mnuSettingSendSetting")->trigger();
    EXPECT_EQ(cancel.Seen(), QStringList{"frmSendDataList"});
    ASSERT_EQ(SendRows(first), 2);
    EXPECT_EQ(Find<QTreeWidget>(first, "lsvSendData")->topLevelItem(0)->text(0), QStringLiteral("B"));
    EXPECT_EQ(&SendListOf(*first), &SendListOf(*second));
}

// Each new window a step from the one before, none on top of another (not even one that
// remembers another's place) and none off the screen.
TEST(Windows, NewWindowsCascadeAndStayOnTheScreen)
{
    GuiTestEnv env;
    TWindowManager windows;
    TfrmMain *first = windows.Start();
    windows.ShowAll();
    Store().setValue(QStringLiteral("Window2/WindowGeometry"), first->saveGeometry());
    const QRect area = first->screen()->availableGeometry();
    for (int i = 0; i < 8; ++i) {
        TfrmMain *later = windows.OpenWindow();
        EXPECT_TRUE(area.contains(later->frameGeometry())) << later->Number();
        for (const TfrmMain *other : windows.Windows()) {
            if (other != later) {
                EXPECT_NE(other->pos(), later->pos()) << later->Number() << " on " << other->Number();
            }
        }
    }
}

TEST(Windows, ALaterWindowKeepsItsRulesAndSettingsApartAndComesBackAtTheNextStart)
{
    GuiTestEnv env;
    CTestPty pty;
    CRuleList rules;
    for (const char *name : {"Ping", "Pong"}) {
        auto rule = std::make_unique<CSingleRule>();
        rule->Name = name;
        rule->Event = std::make_unique<CReceiveAnythingEvent>();
        rules.Add(std::move(rule));
    }
    rules.SaveToFile(env.File("Default.ass"));
    {
        TWindowManager windows;
        TfrmMain *first = windows.Start();
        windows.ShowAll();
        Find<QAction>(first, "mnuFileNewWindow")->trigger();
        TfrmMain *second = windows.Window(2);
        ASSERT_NE(second, nullptr);
        // Its rules start as the first window's; the Rule dialog writes them to its own file.
        CRuleList mine, firsts;
        ASSERT_TRUE(mine.LoadFromFile(env.File("Default-2.ass")));
        ASSERT_EQ(mine.Count(), 2);
        EXPECT_EQ(mine.At(1)->Name, "Pong");
        ModalCatcher clear([](QDialog *d) {
            d->findChild<QPushButton *>(QStringLiteral("btnDeleteAll"))->click();
            d->accept();
        });
        Find<QAction>(second, "mnuSettingAutoSend")->trigger();
        mine.LoadFromFile(env.File("Default-2.ass"));
        EXPECT_EQ(mine.Count(), 0);
        ASSERT_TRUE(firsts.LoadFromFile(env.File("Default.ass")));
        EXPECT_EQ(firsts.Count(), 2);

        Feature<TPortCommands>(*second)->Open(Link("B", pty.Path()));
        Feature<TPortCommands>(*first)->Open(Link("A", pty.Path()));
        EXPECT_EQ(clear.Seen().last(),
                  QString::fromStdString("Can not Open " + pty.Path() + ": the port is open in window 2"));
        Find<QToolButton>(second, "btnHex")->click();
        EXPECT_EQ(first->windowTitle(), QStringLiteral("Kestrum"));
    }
    {
        const QSettings settings = Store();
        EXPECT_EQ(settings.value(QStringLiteral("CurDisplayType")).toInt(), FMT_STRING);
        EXPECT_FALSE(settings.contains(QStringLiteral("PortSetting")));
        EXPECT_EQ(settings.value(QStringLiteral("Window2/CurDisplayType")).toInt(), FMT_HEX);
        EXPECT_EQ(settings.value(QStringLiteral("OpenWindows")).toString(), QStringLiteral("1 2"));
    }
    {
        TWindowManager windows;
        windows.Start();
        windows.ShowAll();
        ASSERT_EQ(windows.Windows().size(), 2u);
        QPointer<TfrmMain> second = windows.Window(2);
        ASSERT_TRUE(second && Feature<TPortCommands>(*second)->LastLink());
        EXPECT_TRUE(Find<QAction>(second, "mnuViewHex")->isChecked());
        Find<QAction>(second, "mnuOpQuickLink")->trigger();
        EXPECT_TRUE(SessionOf(*second).IsOpen());

        // Closing a window that is not the last closes that one only.
        second->close();
        EXPECT_TRUE(WaitUntil([&second] { return second.isNull(); }));
        ASSERT_EQ(windows.Windows().size(), 1u);
        EXPECT_TRUE(windows.Windows()[0]->isVisible());
    }
    // The first window alone leaves the store as one window always did.
    EXPECT_FALSE(Store().contains(QStringLiteral("OpenWindows")));
}
