// Decoded frames in the window: a device on a pseudo-terminal answers one Modbus request and
// ignores the next; the frames view reads both out with their answer's time or its absence, and
// the answer times panel counts them.
#include "data/commdata.h"
#include "frame/frameprofiles.h"
#include "frame/gui/TFramesView.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"
#include "session/sessionframes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

using Bytes = std::vector<uint8_t>;
// Unit 1, read holding register 40001; its answer: 42.
const Bytes kRequest{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kAnswer{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};

QString Summary(const QTableView &table, int row)
{
    return table.model()->index(row, TFramesModel::Summary).data().toString();
}

QString Stat(const QTableWidget &table, int column)
{
    const QTableWidgetItem *item = table.item(0, column);
    return item ? item->text() : QString();
}

} // namespace

TEST(AnswerTimes, TheSummaryTellsTheReadingAndTheAnswerTimeAndThePanelCountsTheMissingAnswer)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const COM_PORT_SETTING link = Link("Pty", pty.Path());
    Feature<TPortCommands>(w)->Open(link);
    ASSERT_TRUE(SessionOf(w).IsOpen());
    Find<QAction>(w, "mnuViewFrames")->trigger();
    Find<QAction>(w, "mnuViewAnswerTimes")->trigger();
    auto *frames = Find<QTableView>(w, "tblFrames");
    auto *stats = Find<QTableWidget>(w, "tblAnswerTimes");
    ASSERT_TRUE(frames && stats);

    ST_FramingProfile modbus = CFrameProfile::BuiltIn("Modbus RTU");
    modbus.Unknown.emplace_back("answer_timeout_ms", "150");
    SessionOf(w).Frames().SetProfile(modbus, LineTimingOf(link));

    ASSERT_EQ(SessionOf(w).Send(CCommData(kRequest)), CPortSession::ESend::Queued);
    ASSERT_EQ(pty.Receive(kRequest.size()), kRequest);
    ASSERT_TRUE(pty.Send(kAnswer));
    ASSERT_TRUE(WaitUntil([&] { return frames->model()->rowCount() == 2; }));
    EXPECT_TRUE(Summary(*frames, 0).startsWith("unit 1")) << Summary(*frames, 0).toStdString();
    // The answer names its register from the request and tells how long it took.
    const QString answer = Summary(*frames, 1);
    EXPECT_TRUE(answer.contains("40001") && answer.contains("42")) << answer.toStdString();
    EXPECT_TRUE(answer.contains(QRegularExpression(" · \\d+\\.\\d ms$"))) << answer.toStdString();
    frames->selectRow(1);
    EXPECT_TRUE(Find<TFramesView>(w, "pnlFrames")->SelectedCsv().endsWith(",ok," + answer + "\n"))
        << Find<TFramesView>(w, "pnlFrames")->SelectedCsv().toStdString();

    // The second request is ignored: once its time-out passed, with no frame to tell it, its row
    // says so.
    ASSERT_EQ(SessionOf(w).Send(CCommData(kRequest)), CPortSession::ESend::Queued);
    ASSERT_EQ(pty.Receive(kRequest.size()), kRequest);
    ASSERT_TRUE(WaitUntil([&] { return frames->model()->rowCount() == 3; }));
    ASSERT_TRUE(WaitUntil([&] { return Summary(*frames, 2).endsWith(" · no answer"); }))
        << Summary(*frames, 2).toStdString();
    EXPECT_FALSE(Summary(*frames, 0).contains("no answer")) << "the answered request stays as it was";

    ASSERT_TRUE(WaitUntil([&] { return stats->rowCount() == 1 && Stat(*stats, 4) == "1"; }));
    EXPECT_EQ(Stat(*stats, 0), "1");
    EXPECT_EQ(Stat(*stats, 1), "3");
    EXPECT_EQ(Stat(*stats, 2), "2");
    EXPECT_EQ(Stat(*stats, 3), "1");
    EXPECT_FALSE(Stat(*stats, 9).isEmpty()) << "the answer's time";

    Find<QPushButton>(w, "btnAnswerTimesCopy")->click();
    const QStringList csv = QApplication::clipboard()->text().split('\n');
    ASSERT_GE(csv.size(), 2);
    EXPECT_EQ(csv[0], "unit,function,requests,answered,missing,exceptions,min_ms,median_ms,p99_ms,max_ms");
    EXPECT_TRUE(csv[1].startsWith("1,3,2,1,1,0,")) << csv[1].toStdString();
    Find<QPushButton>(w, "btnAnswerTimesReset")->click();
    EXPECT_EQ(stats->rowCount(), 0);
}

TEST(AnswerTimes, ADecoderThatCannotBeMadeIsNamedAndTheFramesGoOn)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const COM_PORT_SETTING link = Link("Pty", pty.Path());
    Feature<TPortCommands>(w)->Open(link);
    Find<QAction>(w, "mnuViewFrames")->trigger();
    ST_FramingProfile lines = CFrameProfile::BuiltIn("Lines");
    lines.Decoder = "lua:../elsewhere.lua";
    SessionOf(w).Frames().SetProfile(lines, LineTimingOf(link));
    ASSERT_TRUE(pty.Send("one\r\ntwo\r\n"));
    auto *frames = Find<QTableView>(w, "tblFrames");
    ASSERT_TRUE(WaitUntil([&] { return frames->model()->rowCount() == 2; }));
    auto *hint = Find<QLabel>(w, "lblFramesHint");
    EXPECT_TRUE(hint->isVisibleTo(&w));
    EXPECT_TRUE(hint->text().startsWith("The frames are not decoded: ")) << hint->text().toStdString();
}
