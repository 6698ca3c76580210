#include "data/symboltable.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TFeatureList.h"
#include "mainwindow/features/TInstantSend.h"
#include "platform/textfile.h"
#include "session/portsession.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <thread>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "guiwindow.h"
#include "ptypair.h"

namespace {

std::vector<std::string> LogLines(const QWidget &w)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    std::vector<std::string> lines;
    for (int i = 0; i < log->LineCount(); ++i)
        lines.push_back(log->LineText(i));
    return lines;
}

using OpenWindow = COpenWindow;

// Sends are written on the sender thread; their log lines and counts follow on the event loop.
bool Settled(QMainWindow &w)
{
    return WaitUntil([&w] { return SessionOf(w).SendsSettled(); });
}

void SaveCrLfSymbols(GuiTestEnv &env)
{
    CSymbolTable table;
    table.Reset();
    table.SetEntry(0x0D, ST_Symbol{true, false, "CR"});
    table.SetEntry(0x0A, ST_Symbol{true, false, "LF"});
    table.Save(env.File("Default.sym"));
}

} // namespace

TEST(Send, HexInstantItemGoesOutWholeAndIsCountedAndLogged)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_TRUE(Find<QPushButton>(w, "btnSend")->isEnabled());
    Find<QToolButton>(w, "btnHex")->click();
    Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_HEX);
    auto *edit = Find<QTextEdit>(w, "edSendItem");
    QTest::keyClicks(edit, QStringLiteral("41 42 0D"));
    Find<QPushButton>(w, "btnSend")->click();

    EXPECT_EQ(o.pty.Receive(3), (std::vector<uint8_t>{0x41, 0x42, 0x0D}));
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send:3/1"));
    EXPECT_EQ(LogLines(w), (std::vector<std::string>{"Send :41 42 0D "}));

    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(o.pty.Receive(3), (std::vector<uint8_t>{0x41, 0x42, 0x0D}));
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send:6/2"));
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("41 42 0D")) << "Enter sends instead of breaking the line";
}

// The GUI thread comes to a send's line a while after the sender thread wrote it: the line has
// the write's time.
TEST(Send, TheLineIsStampedWithTheTimeOfTheWrite)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    if (!Find<QAction>(w, "mnuViewShowTime")->isChecked())
        Find<QToolButton>(w, "btnShowTime")->click();
    std::vector<int64_t> ages;
    w.findChild<TTrafficLog *>(QStringLiteral("edData"))->SetTimeSource([&ages](int64_t ageMs) {
        ages.push_back(ageMs);
        return std::string("t");
    });
    SendItem(w, CCommData(Bytes{'x'}));
    ASSERT_EQ(o.pty.Receive(1), Bytes{'x'});
    const auto written = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < written + std::chrono::milliseconds(40))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(Settled(w));
    ASSERT_EQ(ages.size(), 1u);
    EXPECT_GE(ages[0], 40);
}

// Hex or Dec text that does not parse used to go out as an item without bytes, logged and
// counted as sent. Send, Enter, Edit and a format switch now refuse it and keep it to be fixed.
TEST(Send, TextThatDoesNotParseIsRefusedAndKept)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    auto *format = Find<QComboBox>(w, "cboFormat");
    auto *edit = Find<QTextEdit>(w, "edSendItem");
    const auto refused = [&](const char *typed, const std::function<void()> &command) {
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(typed));
        const int shownFormat = format->currentIndex();
        ModalCatcher catcher;
        command();
        EXPECT_EQ(catcher.Seen(), QStringList{"Wrong data, please check"}) << typed;
        EXPECT_EQ(edit->toPlainText(), QString::fromLatin1(typed));
        EXPECT_EQ(format->currentIndex(), shownFormat);
        EXPECT_EQ(Feature<TInstantSend>(w)->Format(), shownFormat);
    };
    format->setCurrentIndex(FMT_HEX);
    refused("4G", [&] { Find<QPushButton>(w, "btnSend")->click(); });
    refused("41 4", [&] { QTest::keyClick(edit, Qt::Key_Return); });
    refused("0x41", [&] { Find<QPushButton>(w, "btnEdit")->click(); });
    refused("4G", [&] { format->setCurrentIndex(FMT_STRING); });
    edit->clear();
    format->setCurrentIndex(FMT_DEC);
    refused("256", [&] { Find<QPushButton>(w, "btnSend")->click(); });
    refused("1,,2", [&] { format->setCurrentIndex(FMT_HEX); });
    EXPECT_TRUE(SessionOf(w).SendsSettled()) << "a refused text was queued";
    EXPECT_TRUE(LogLines(w).empty());
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send :"));

    // Corrected, the same text goes out.
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("65 66"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(o.pty.Receive(2), (std::vector<uint8_t>{65, 66}));
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send:2/1"));
}

TEST(Send, NothingHappensWithoutAPortAndHiddenSendsStillCount)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    SendItem(w, CCommData(Bytes{1, 2, 3}));
    EXPECT_EQ(SessionOf(w).SendBlocks(), 0);
    EXPECT_TRUE(LogLines(w).empty());
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send :"));

    OpenWindow o;
    Find<QAction>(*o.w, "mnuViewShowSendData")->trigger();
    EXPECT_FALSE(Find<QAction>(*o.w, "mnuViewShowSendData")->isChecked());
    SendItem(*o.w, CCommData(Bytes{1, 2, 3}));
    EXPECT_EQ(o.pty.Receive(3), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_TRUE(Settled(*o.w));
    EXPECT_EQ(StatusPanel(*o.w, 7), QStringLiteral("Send:3/1"));
    EXPECT_TRUE(LogLines(*o.w).empty());
}

TEST(Send, FormatSwitchKeepsTheBytes)
{
    OpenWindow o(SaveCrLfSymbols);
    QMainWindow &w = *o.w;
    auto *format = Find<QComboBox>(w, "cboFormat");
    auto *edit = Find<QTextEdit>(w, "edSendItem");
    QTest::keyClicks(edit, QStringLiteral("AB"));
    format->setCurrentIndex(FMT_HEX);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("41 42 "));
    format->setCurrentIndex(FMT_DEC);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("65 66 "));
    EXPECT_EQ(Feature<TInstantSend>(w)->Format(), FMT_DEC);

    // Bytes a text edit cannot hold as typed (CR, LF) survive a switch to symbols and back.
    Feature<TInstantSend>(w)->SetItem(CCommData(Bytes{'A', 0x0D, 0x0A, 'B'}, FMT_STRING));
    format->setCurrentIndex(FMT_STR_SYMBOL);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("ACRLFB"));
    QTextCursor cursor(edit->document());
    cursor.setPosition(2);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 0, 0x80)) << "symbol strings in navy";
    Find<QPushButton>(w, "btnSend")->click();
    EXPECT_EQ(o.pty.Receive(4), (std::vector<uint8_t>{'A', 0x0D, 0x0A, 'B'}));
    format->setCurrentIndex(FMT_HEX);
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("41 0D 0A 42 "));
}

// Typing one character at the end of an item with line ends and a no-break space changes nothing
// else, neither read back nor after a format switch.
TEST(Send, EditingTheInstantTextKeepsTheBytesNotTyped)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    const Bytes held{'a', 0x0D, 0x0A, 'b', 0x0D, 'c', 0xA0, 0x00, 0x0A, 0xFF};
    Feature<TInstantSend>(w)->SetItem(CCommData(held, FMT_STRING));
    auto *edit = Find<QTextEdit>(w, "edSendItem");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral("d"));
    Bytes expected = held;
    expected.push_back('d');
    EXPECT_EQ(Feature<TInstantSend>(w)->Item().Data(), expected);

    Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_HEX);
    EXPECT_EQ(Feature<TInstantSend>(w)->Item().Data(), expected);
    Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_STRING);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral("e"));
    expected.insert(expected.begin(), 'e');
    Find<QPushButton>(w, "btnSend")->click();
    EXPECT_EQ(o.pty.Receive(expected.size()), expected);
}

TEST(Send, SendListPanelSendsStepsAndCopies)
{
    OpenWindow o([](GuiTestEnv &env) {
        SaveCrLfSymbols(env);
        WriteTextLines(env.File("Default.sds"), {"\"One\",Hex,\"01 \"", "\"Two\",Hex,\"02 \"",
                                                 "\"Sym\",\"Str&Symbol\",\"41 0D 0A \""});
    });
    QMainWindow &w = *o.w;
    auto *list = Find<QTreeWidget>(w, "lsvSendData");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    Feature<TFeatureList>(w)->UpdateControls();
    EXPECT_TRUE(Find<QToolButton>(w, "btnGo")->isEnabled());
    EXPECT_TRUE(Find<QAction>(w, "mnuOpSendItem")->isEnabled());

    list->setCurrentItem(list->topLevelItem(1));
    Find<QToolButton>(w, "btnGo")->click();
    EXPECT_EQ(o.pty.Receive(1), (std::vector<uint8_t>{2}));
    EXPECT_TRUE(list->topLevelItem(2)->isSelected());
    Find<QAction>(w, "mnuSendAndGoNext")->trigger();
    Find<QAction>(w, "popmnuSendAndGoNext")->trigger();
    EXPECT_EQ(o.pty.Receive(6), (std::vector<uint8_t>{0x41, 0x0D, 0x0A, 0x41, 0x0D, 0x0A}))
        << "the last row is sent again and stays selected";
    EXPECT_TRUE(list->topLevelItem(2)->isSelected());

    list->setCurrentItem(list->topLevelItem(0));
    Find<QAction>(w, "mnuOpSendItem")->trigger();
    EXPECT_EQ(o.pty.Receive(1), (std::vector<uint8_t>{1}));
    EXPECT_TRUE(list->topLevelItem(0)->isSelected()) << "send current does not step";
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(SessionOf(w).SendBlocks(), 4);

    list->setCurrentItem(list->topLevelItem(2));
    Find<QAction>(w, "mnuCopyToInput")->trigger();
    auto *edit = Find<QTextEdit>(w, "edSendItem");
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("ACRLF"));
    EXPECT_EQ(Find<QComboBox>(w, "cboFormat")->currentText(), QStringLiteral("STRING&SYMBOL"));
    Find<QPushButton>(w, "btnSend")->click();
    EXPECT_EQ(o.pty.Receive(3), (std::vector<uint8_t>{0x41, 0x0D, 0x0A}));

    // The data edit dialog changes nothing when cancelled.
    const CCommData before = Feature<TInstantSend>(w)->Item();
    ModalCatcher dialogs([](QDialog *d) { d->reject(); });
    Find<QPushButton>(w, "btnEdit")->click();
    EXPECT_EQ(dialogs.Seen(), QStringList{"frmDataEdit"});
    EXPECT_EQ(Feature<TInstantSend>(w)->Item(), before);
}

// Sends from another thread and from the GUI thread interleave on the wire; the log shows them in
// the order the wire saw them.
TEST(Send, SendsFromTwoThreadsKeepWireAndLogInTheSameOrder)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    Find<QToolButton>(w, "btnHex")->click();
    // The GUI thread's sends are queued without waiting, and a full queue refuses with a box; at
    // most kEach of them plus the engine's one fit, however slowly the sender thread is scheduled.
    constexpr int kEach = 30;
    ModalCatcher boxes;
    std::thread engine([&w] {
        for (int i = 0; i < kEach; ++i)
            SendItem(w, CCommData(Bytes{0xE0, static_cast<uint8_t>(i), 0xEE}));
    });
    for (int i = 0; i < kEach; ++i) {
        SendItem(w, CCommData(Bytes{0xA0, static_cast<uint8_t>(i), 0xAA}));
        if (i % 8 == 0)
            Pump(1);
    }
    engine.join();
    const std::vector<uint8_t> wire = o.pty.Receive(6 * kEach);
    ASSERT_EQ(wire.size(), 6u * kEach);
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(SessionOf(w).SendBlocks(), 2 * kEach);
    EXPECT_EQ(SessionOf(w).SendBytes(), 6 * kEach);

    std::vector<std::string> expected;
    for (size_t i = 0; i < wire.size(); i += 3) {
        char line[32];
        std::snprintf(line, sizeof line, "Send :%02X %02X %02X ", wire[i], wire[i + 1], wire[i + 2]);
        EXPECT_EQ(wire[i + 2], wire[i] == 0xE0 ? 0xEE : 0xAA) << "an item was split on the wire at " << i;
        expected.push_back(line);
    }
    EXPECT_EQ(LogLines(w), expected);
    EXPECT_EQ(boxes.Seen(), QStringList());
}
