#include "log/gui/TTrafficLog.h"
#include "mainwindow/TFeatureList.h"
#include "mainwindow/features/TPortCommands.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "session/portsession.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>
#include <thread>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "serial/serial.h"

namespace {

QStringList Panels(const QWidget &w)
{
    QStringList texts;
    for (int i = 0; i < 8; ++i)
        texts << w.findChild<QLabel *>(QStringLiteral("stbComStatusPanel%1").arg(i))->text();
    return texts;
}

const QStringList kLabelsOnly{
    "Port: ", "Baud Rate: ", "Data Bits: ", "Parity: ", "Stop Bits: ", "DTC: ", "Rec  :", "Send :"};

std::string LastLogLine(const QMainWindow &w)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    return log->LineCount() ? log->LineText(log->LineCount() - 1) : std::string();
}

} // namespace

TEST(Port, ReceivedBlocksReachTheLogTheListAndTheCounters)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    TfrmRecDataList *list = &GiveReceivedList(w);
    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_EQ(Panels(w).mid(0, 6),
              (QStringList{"Port: " + QString::fromStdString(pty.Path()), "Baud Rate: 9600", "Data Bits: 8",
                           "Parity: None", "Stop Bits: 1", "DTC: None"}));

    Find<QToolButton>(w, "btnHex")->click();
    pty.Send(std::vector<uint8_t>{0x41, 0x42, 0x00, 0x43});
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).RecBlocks() == 1; }));
    EXPECT_TRUE(WaitUntil([&w] { return Panels(w)[6] == QStringLiteral("Rec:4/1"); }))
        << Panels(w)[6].toStdString();
    EXPECT_EQ(LastLogLine(w), "Rec  :41 42 00 43 ");
    ASSERT_EQ(list->Entries().Count(), 1);
    const CCommData &entry = list->Entries().At(0);
    EXPECT_EQ(entry.Data(), (Bytes{0x41, 0x42, 0x00, 0x43}));
    EXPECT_EQ(entry.GetFormat(), FMT_STRING);
    EXPECT_NE(entry.GetName().find(':'), std::string::npos)
        << "named with the time of day: " << entry.GetName();

    // A message that finds nothing waiting, and a break, change nothing.
    SessionOf(w).OnEvent(EV_RXCHAR);
    SessionOf(w).OnEvent(EV_BREAK | (CE_BREAK << 16));
    EXPECT_EQ(SessionOf(w).RecBlocks(), 1);
    EXPECT_EQ(SessionOf(w).RecBytes(), 4);
    EXPECT_EQ(list->Entries().Count(), 1);

    // Closing shows the labels only and keeps the counters, which go on at the next block.
    Find<QAction>(w, "mnuOpClosePort")->trigger();
    EXPECT_FALSE(SessionOf(w).IsOpen());
    EXPECT_EQ(Panels(w), kLabelsOnly);
    EXPECT_FALSE(Find<QPushButton>(w, "btnSend")->isEnabled());
    EXPECT_FALSE(Find<QToolButton>(w, "btnClosePort")->isEnabled());
    Find<QToolButton>(w, "btnQuickLink")->click();
    ASSERT_TRUE(SessionOf(w).IsOpen());
    pty.Send("xyz");
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).RecBlocks() == 2; }));
    EXPECT_TRUE(WaitUntil([&w] { return Panels(w)[6] == QStringLiteral("Rec:7/2"); }))
        << Panels(w)[6].toStdString();
}

TEST(Port, ABurstWaitingAtOnceBecomesOneBlock)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const CRecDataList &received = GiveReceivedList(w).Entries();
    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    std::vector<uint8_t> burst(5000);
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<uint8_t>(1 + i % 250);
    pty.Send(burst);
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).RecBytes() == 5000; }));
    EXPECT_EQ(SessionOf(w).RecBlocks(), 1);
    ASSERT_EQ(received.Count(), 1);
    EXPECT_EQ(received.At(0).Data(), burst);
    EXPECT_TRUE(WaitUntil([&w] { return Panels(w)[6] == QStringLiteral("Rec:5000/1"); }))
        << Panels(w)[6].toStdString();
}

// A stream that never pauses must not hold the window in one read loop: it becomes bounded blocks
// and every byte still arrives, in order.
TEST(Port, AStreamThatNeverPausesIsCutIntoBoundedBlocks)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const CRecDataList &received = GiveReceivedList(w).Entries();
    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    std::vector<uint8_t> stream(300 * 1000);
    for (size_t i = 0; i < stream.size(); ++i)
        stream[i] = static_cast<uint8_t>(1 + i % 251);
    std::thread writer([&pty, &stream] { pty.Send(stream); });
    ASSERT_TRUE(WaitUntil(
        [&w, &stream] { return SessionOf(w).RecBytes() == static_cast<int64_t>(stream.size()); }, 20000));
    writer.join();
    Bytes joined;
    for (int i = 0; i < received.Count(); ++i) {
        const CCommData &block = received.At(i);
        EXPECT_LE(block.GetLength(), 64 * 1024);
        joined.insert(joined.end(), block.Data().begin(), block.Data().end());
    }
    EXPECT_GT(SessionOf(w).RecBlocks(), 4);
    EXPECT_EQ(joined, stream);
}

TEST(Port, FailedOpensSayWhyAndKeepTheLastLink)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    ModalCatcher boxes;
    Feature<TPortCommands>(w)->Open(Link("Test", "/nonexistent/ttyKX"));
    ASSERT_GE(boxes.Seen().size(), 1) << boxes.Seen().join(" / ").toStdString();
    ASSERT_EQ(boxes.Seen().size(), 1) << boxes.Seen().join(" / ").toStdString();
    EXPECT_TRUE(boxes.Seen()[0].startsWith(QStringLiteral("Can not Open /nonexistent/ttyKX")))
        << boxes.Seen()[0].toStdString();
    EXPECT_FALSE(Feature<TPortCommands>(w)->LastLink().has_value());
    EXPECT_FALSE(Find<QAction>(w, "mnuOpQuickLink")->isEnabled());
    EXPECT_EQ(Panels(w), kLabelsOnly);

    const COM_PORT_SETTING good = Link("Test", pty.Path());
    Feature<TPortCommands>(w)->Open(good);
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_EQ(boxes.Seen().size(), 1);

    // Settings the port refuses: two messages, the port closed, the first link kept.
    COM_PORT_SETTING bad = good;
    bad.DataBits = 3;
    Feature<TPortCommands>(w)->Open(bad);
    const QString port = QString::fromStdString(pty.Path());
    EXPECT_EQ(boxes.Seen().mid(1), (QStringList{"Error Port Setting: " + port, "Can not Open " + port}));
    EXPECT_FALSE(SessionOf(w).IsOpen());
    EXPECT_EQ(Panels(w), kLabelsOnly);
    ASSERT_TRUE(Feature<TPortCommands>(w)->LastLink().has_value());
    EXPECT_EQ(*Feature<TPortCommands>(w)->LastLink(), good);
    Find<QAction>(w, "mnuOpQuickLink")->trigger();
    EXPECT_TRUE(SessionOf(w).IsOpen());
}

TEST(Port, ALostPortIsClosedAndSaidSo)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    {
        CTestPty pty;
        Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
        ASSERT_TRUE(SessionOf(w).IsOpen());
        pty.CloseMaster();
        ASSERT_TRUE(WaitUntil([&w] { return !SessionOf(w).IsOpen(); }));
    }
    const QStringList panels = Panels(w);
    EXPECT_EQ(panels[0], QStringLiteral("Port: lost"));
    EXPECT_EQ(panels.mid(1), kLabelsOnly.mid(1));
    EXPECT_FALSE(Find<QPushButton>(w, "btnSend")->isEnabled());
    EXPECT_TRUE(Find<QAction>(w, "mnuOpQuickLink")->isEnabled());
}

TEST(Port, OnlyARunningAutoSendGetsReceivedBlocks)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    SessionOf(w).AutoSend().SetState(AUTOSEND_RUNNING);
    pty.Send("run");
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).RecBlocks() == 1; }));
    SessionOf(w).AutoSend().SetState(AUTOSEND_PAUSED);
    pty.Send("pause");
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).RecBlocks() == 2; }));
    EXPECT_EQ(SessionOf(w).AutoSend().RecQueueSize(), 1u);
    CCommData queued;
    ASSERT_TRUE(SessionOf(w).AutoSend().PopRec(queued));
    EXPECT_EQ(queued.Data(), (Bytes{'r', 'u', 'n'}));
    const ST_TimeMarks marks = SessionOf(w).AutoSend().Marks();
    EXPECT_TRUE(marks.RecBeginValid && marks.RecEndValid);
    EXPECT_LE(marks.RecBeginTime, marks.RecEndTime);
    EXPECT_FALSE(marks.SendBeginValid);

    SessionOf(w).AutoSend().SetState(AUTOSEND_RUNNING);
    Feature<TFeatureList>(w)->UpdateControls();
    EXPECT_TRUE(Find<QToolButton>(w, "btnStartAutoSend")->isChecked());
    EXPECT_TRUE(Find<QToolButton>(w, "btnStopAutoSend")->isEnabled());
    SendItem(w, CCommData(Bytes{1}));
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).SendsSettled(); }));
    EXPECT_TRUE(SessionOf(w).AutoSend().Marks().SendBeginValid &&
                SessionOf(w).AutoSend().Marks().SendEndValid);
    SessionOf(w).AutoSend().SetState(AUTOSEND_STOPPED);
}

// Lost bytes are never silent: line errors, with the driver's counts, and a listener held by a
// window that fell behind show beside the counters and give one note per burst.
TEST(Port, LineErrorsAndHeldReadsAreCountedAndNotedOncePerBurst)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    auto *label = Find<QLabel>(w, "lblInboundLoss");
    EXPECT_TRUE(label->isHidden());
    EXPECT_EQ(label->accessibleName(), "Line errors");

    ST_LineCounters counts;
    counts.Overrun = 2;
    SessionOf(w).OnEvent(EV_ERR | (CE_OVERRUN << 16), counts);
    SessionOf(w).OnEvent(EV_ERR | ((CE_OVERRUN | CE_FRAME) << 16)); // bits without counts count once
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(label->text(), "Errors:4");
    auto *log = Find<TTrafficLog>(w, "edData");
    const int lines = log->LineCount();
    ASSERT_TRUE(WaitUntil([&] { return log->LineCount() > lines; }));
    EXPECT_EQ(LastLogLine(w), "Note :Line errors: 3 overrun, 1 framing");

    SessionOf(w).OnEvent(EV_RX80FULL);
    ASSERT_TRUE(WaitUntil([&] { return log->LineCount() > lines + 1; }));
    EXPECT_EQ(LastLogLine(w), "Note :Reading paused: the window fell 32 MiB behind the port");
    EXPECT_EQ(label->text(), "Errors:4 Paused:1");
    EXPECT_EQ(label->toolTip(), "Line errors: 3 overrun, 1 framing\n"
                                "Reading paused: the window fell 32 MiB behind the port");
    EXPECT_EQ(log->LineCount(), lines + 2);
}
