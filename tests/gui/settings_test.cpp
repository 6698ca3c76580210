#include "link/linksetting.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/gui/settingvalue.h"
#include "platform/textfile.h"
#include "session/portsession.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "guitestenv.h"
#include "guitraffic.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

void Store(std::initializer_list<std::pair<const char *, QVariant>> values)
{
    QSettings settings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"));
    for (const auto &v : values)
        settings.setValue(QString::fromLatin1(v.first), v.second);
    settings.sync();
}

QVariant Stored(const char *name)
{
    return QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum")).value(QString::fromLatin1(name));
}

COM_PORT_SETTING PtyLink(const CTestPty &pty)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = "Bench";
    link.PortName = pty.Path();
    link.Baud = 19200;
    return link;
}

} // namespace

TEST(Settings, FirstStartShowsTheDefaults)
{
    GuiTestEnv env;
    WriteTextLines(env.File("Default.sds"),
                   {"\"Ping\",\"Hex\",\"50 49 4E 47\"", "\"Two\",\"String\",\"AB\""});
    TfrmMain w;
    EXPECT_FALSE(Find<QAction>(w, "mnuViewShowTime")->isChecked());
    EXPECT_TRUE(Find<QAction>(w, "mnuViewShowSendData")->isChecked());
    EXPECT_TRUE(Find<QAction>(w, "mnuViewText")->isChecked());
    EXPECT_TRUE(Find<QToolButton>(w, "btnText")->isChecked());
    EXPECT_FALSE(Find<QToolButton>(w, "btnHex")->isChecked());
    EXPECT_FALSE(Find<QToolButton>(w, "btnShowTime")->isChecked());
    EXPECT_TRUE(Find<QToolButton>(w, "btnShowSendData")->isChecked());
    EXPECT_EQ(Find<QComboBox>(w, "cboFormat")->currentText(), QStringLiteral("STRING"));
    EXPECT_TRUE(Find<QTextEdit>(w, "edSendItem")->toPlainText().isEmpty());
    EXPECT_FALSE(Find<QAction>(w, "mnuOpQuickLink")->isEnabled());
    EXPECT_FALSE(Find<QToolButton>(w, "btnQuickLink")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "btnSend")->isEnabled());
    EXPECT_EQ(StatusPanel(w, 0), QStringLiteral("Port: "));
    EXPECT_EQ(StatusPanel(w, 6), QStringLiteral("Rec  :"));
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send :"));

    auto *list = Find<QTreeWidget>(w, "lsvSendData");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Ping"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Hex"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("50 49 4E 47 "));
    EXPECT_TRUE(list->topLevelItem(0)->isSelected()) << "the first row is selected at start";
    EXPECT_FALSE(Find<QToolButton>(w, "btnGo")->isEnabled()) << "no port is open";
}

TEST(Settings, RestartRestoresViewInstantItemAndLastLink)
{
    GuiTestEnv env;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    {
        ModalCatcher boxes;
        TfrmMain w;
        Feature<TPortCommands>(w)->Open(PtyLink(pty));
        ASSERT_TRUE(SessionOf(w).IsOpen());
        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_HEX);
        auto *edit = Find<QTextEdit>(w, "edSendItem");
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("41 42 0D"));
        Find<QToolButton>(w, "btnDecimal")->click();
        Find<QAction>(w, "mnuViewShowTime")->trigger();
        Find<QAction>(w, "mnuShowSendData")->trigger();
        EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Seen().join('|').toStdString();
    }
    EXPECT_EQ(Stored("CurrentType").toInt(), 1);
    EXPECT_EQ(Stored("CurDisplayType").toInt(), 2);
    EXPECT_EQ(Stored("ShowTime").toInt(), 1);
    EXPECT_EQ(Stored("ShowSendData").toInt(), 0);
    CCommData stored;
    EXPECT_TRUE(stored.FromLine(Stored("InstanceSendData").toString().toStdString()));
    CCommData expected(Bytes{0x41, 0x42, 0x0D}, FMT_HEX);
    expected.SetName("Input Instance");
    EXPECT_EQ(stored, expected) << stored.ToLine();
    EXPECT_EQ(Stored("PortSetting").toString().toStdString(), LinkToLine(PtyLink(pty)));

    TfrmMain again;
    EXPECT_FALSE(SessionOf(again).IsOpen());
    ASSERT_TRUE(Feature<TPortCommands>(again)->LastLink().has_value());
    EXPECT_EQ(*Feature<TPortCommands>(again)->LastLink(), PtyLink(pty));
    EXPECT_EQ(Find<QComboBox>(again, "cboFormat")->currentText(), QStringLiteral("HEX"));
    EXPECT_EQ(Find<QTextEdit>(again, "edSendItem")->toPlainText(), QStringLiteral("41 42 0D "));
    EXPECT_TRUE(Find<QToolButton>(again, "btnDecimal")->isChecked());
    EXPECT_TRUE(Find<QAction>(again, "mnuDecimal")->isChecked());
    EXPECT_TRUE(Find<QToolButton>(again, "btnShowTime")->isChecked());
    EXPECT_FALSE(Find<QToolButton>(again, "btnShowSendData")->isChecked());

    ASSERT_TRUE(Find<QAction>(again, "mnuOpQuickLink")->isEnabled());
    Find<QAction>(again, "mnuOpQuickLink")->trigger();
    EXPECT_TRUE(SessionOf(again).IsOpen());
    EXPECT_EQ(StatusPanel(again, 0), QStringLiteral("Port: ") + QString::fromStdString(pty.Path()));
    EXPECT_EQ(StatusPanel(again, 1), QStringLiteral("Baud Rate: 19200"));
    EXPECT_EQ(StatusPanel(again, 3), QStringLiteral("Parity: None"));
}

// A store of an older version lacks values, a hand-edited one may hold words: such a value keeps
// what the window had, and everything after it, the features' values too, is still taken.
// How long the port's reads may wait while the log holds a stream: kept as set, within the pause
// a line's gap still ends a block at.
TEST(Settings, TheReadPaceIsReadWithinItsBoundAndWrittenBack)
{
    GuiTestEnv env;
    {
        TfrmMain w;
        EXPECT_EQ(w.Session().ReadPaceMs(), CPortSession::kReadPaceMs);
    }
    for (const auto &[stored, taken] : {std::pair{0, 0}, {2, 2}, {99, 6}, {-3, 0}}) {
        Store({{"ReadPaceMs", stored}});
        TfrmMain w;
        EXPECT_EQ(w.Session().ReadPaceMs(), static_cast<uint32_t>(taken)) << stored;
        w.SaveSettings();
        EXPECT_EQ(Stored("ReadPaceMs").toInt(), taken);
    }
}

TEST(Settings, AMissingOrNonIntegerValueKeepsItsOwnAndTheRestIsRead)
{
    GuiTestEnv env;
    Store({{"CurDisplayType", 1},
           {"ShowSendData", 0},
           {"ShowTime", 1},
           {"PortSetting", "\"L\",\"ttyS9\",9600,8,0,0,0,1024,1024"},
           {"InstanceSendData", "\"X\",\"Hex\",\"41 \""},
           {"ReconnectAutomatically", 1}});
    {
        TfrmMain w;
        EXPECT_EQ(Find<QComboBox>(w, "cboFormat")->currentText(), QStringLiteral("HEX"))
            << "the instant item read later sets the format; CurrentType itself was missing";
        EXPECT_TRUE(Find<QAction>(w, "mnuViewHex")->isChecked());
        EXPECT_FALSE(Find<QAction>(w, "mnuViewShowSendData")->isChecked());
        EXPECT_TRUE(Find<QAction>(w, "mnuViewShowTime")->isChecked());
        ASSERT_TRUE(Feature<TPortCommands>(w)->LastLink().has_value());
        EXPECT_EQ(Feature<TPortCommands>(w)->LastLink()->PortName, "ttyS9");
        EXPECT_EQ(Find<QTextEdit>(w, "edSendItem")->toPlainText(), QStringLiteral("41 "));
        EXPECT_TRUE(Find<QAction>(w, "mnuOpReconnect")->isChecked());
        EXPECT_FALSE(w.LoadSettings()) << "a missing value is still told";
    }
    env.ClearSettings();
    Store({{"CurrentType", 1},
           {"CurDisplayType", 3},
           {"ShowSendData", "yes"},
           {"ShowTime", 1},
           {"DateStamps", 1}});
    TfrmMain w;
    EXPECT_EQ(Feature<TInstantSend>(w)->Format(), 1);
    EXPECT_TRUE(Find<QAction>(w, "mnuViewTextSymbol")->isChecked());
    EXPECT_TRUE(Find<QToolButton>(w, "btnTextSymbol")->isChecked());
    EXPECT_TRUE(Find<QAction>(w, "mnuViewShowSendData")->isChecked())
        << "the word keeps the value the window starts with";
    EXPECT_TRUE(Find<QAction>(w, "mnuViewShowTime")->isChecked());
    EXPECT_TRUE(Find<QAction>(w, "mnuViewDateAndTime")->isChecked());
}

TEST(Settings, OddStoredValuesAreTakenOverWithoutHarm)
{
    GuiTestEnv env;
    Store({{"CurrentType", 0},
           {"CurDisplayType", 7},
           {"ShowSendData", 5},
           {"ShowTime", 0},
           {"PortSetting", "\"L\",\"ttyS9\",fast,8,0,0,0,1024,1024"},
           {"InstanceSendData", "no fields here"}});
    TfrmMain w;
    for (const char *mode : {"btnText", "btnHex", "btnDecimal", "btnTextSymbol"})
        EXPECT_FALSE(Find<QToolButton>(w, mode)->isChecked()) << mode;
    EXPECT_TRUE(Find<QAction>(w, "mnuViewShowSendData")->isChecked());
    ASSERT_TRUE(Feature<TPortCommands>(w)->LastLink().has_value())
        << "an unreadable link line still leaves a last link";
    EXPECT_EQ(Feature<TPortCommands>(w)->LastLink()->Baud, DefaultLinkSetting().Baud);
    EXPECT_TRUE(Find<QAction>(w, "mnuOpQuickLink")->isEnabled());
    EXPECT_EQ(Feature<TInstantSend>(w)->Item().GetLength(), 0);

    Receive(w, Bytes{0x41});
    EXPECT_EQ(Find<TTrafficLog>(w, "edData")->LineCount(), 0) << "no writer for an unknown mode";
    Find<QAction>(w, "mnuHex")->trigger();
    Receive(w, Bytes{0x41});
    ASSERT_EQ(Find<TTrafficLog>(w, "edData")->LineCount(), 1);
    EXPECT_EQ(Find<TTrafficLog>(w, "edData")->LineText(0), "Rec  :41 ");
}

// Values are read as they were always written, and what is missing or does not read as its type
// takes the declared default rather than a zero.
TEST(Settings, ADeclaredValueReadsAsStoredOrTakesItsDefault)
{
    GuiTestEnv env;
    QSettings store(env.FilePath(QStringLiteral("values.ini")), QSettings::IniFormat);
    store.setValue(QStringLiteral("Number"), QStringLiteral(" 12 "));
    store.setValue(QStringLiteral("Word"), QStringLiteral("yes"));
    store.setValue(QStringLiteral("Flag"), 2);
    EXPECT_EQ(TSettingValue<int>("Number", 5).Read(store), 12);
    EXPECT_EQ(TSettingValue<int>("Word", 5).Read(store), 5);
    EXPECT_EQ(TSettingValue<int>("Missing", 5).Read(store), 5);
    EXPECT_FALSE(TSettingValue<int>("Word", 5).Find(store).has_value());
    EXPECT_TRUE(TSettingValue<bool>("Flag", false).Read(store));
    EXPECT_TRUE(TSettingValue<bool>("Word", true).Read(store));
    EXPECT_EQ(TSettingValue<QString>("Missing", QStringLiteral("d")).Read(store), QStringLiteral("d"));

    TSettingValue<bool>("Written", false).Write(store, true);
    EXPECT_EQ(store.value(QStringLiteral("Written")), QVariant(1)) << "a choice is kept as 1 or 0";
}
