// View > Frames on a pseudo-terminal: what the device sends and what the window sends, framed as
// lines, in the order they crossed the line, filtered as the user chooses.
#include "frame/framecsv.h"
#include "frame/frameprofiles.h"
#include "frame/gui/TFramesView.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "session/portsession.h"
#include "session/sessionframes.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

QString Cell(const QTableView &table, int row, int column)
{
    return table.model()->index(row, column).data().toString();
}

} // namespace

TEST(FramesView, ShowsReceivedAndSentLinesInLineOrderAndFiltersThemByDirection)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const COM_PORT_SETTING link = Link("Pty", pty.Path());
    Feature<TPortCommands>(w)->Open(link);
    ASSERT_TRUE(SessionOf(w).IsOpen());

    Find<QAction>(w, "mnuViewFrames")->trigger();
    auto *view = Find<TFramesView>(w, "pnlFrames");
    auto *table = Find<QTableView>(w, "tblFrames");
    ASSERT_TRUE(view && table);
    EXPECT_TRUE(view->isVisibleTo(&w));
    auto *hint = Find<QLabel>(w, "lblFramesHint");
    EXPECT_TRUE(hint->isVisibleTo(&w)) << "framing is off: the view says how to turn it on";

    SessionOf(w).Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), LineTimingOf(link));
    ASSERT_TRUE(pty.Send("first\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return table->model()->rowCount() == 1; }));
    Find<QComboBox>(w, "cboLineEnding")->setCurrentIndex(3); // CR LF
    TypeAndSend(w, QStringLiteral("ask"));
    ASSERT_EQ(pty.ReceiveText(5), "ask\r\n");
    ASSERT_TRUE(pty.Send("answer\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return table->model()->rowCount() == 3; }));
    EXPECT_FALSE(hint->isVisibleTo(&w));

    const QStringList directions = {Cell(*table, 0, TFramesModel::Direction),
                                    Cell(*table, 1, TFramesModel::Direction),
                                    Cell(*table, 2, TFramesModel::Direction)};
    EXPECT_EQ(directions, (QStringList{"Rx", "Tx", "Rx"}));
    EXPECT_EQ(Cell(*table, 0, TFramesModel::Length), "7");
    EXPECT_EQ(Cell(*table, 1, TFramesModel::Length), "5");
    EXPECT_EQ(Cell(*table, 2, TFramesModel::Length), "8");
    EXPECT_EQ(Cell(*table, 1, TFramesModel::Hex), "61 73 6B 0D 0A  ask..");
    EXPECT_TRUE(Cell(*table, 1, TFramesModel::GapMs).isEmpty()) << "the first frame sent has no gap";
    EXPECT_FALSE(Cell(*table, 2, TFramesModel::GapMs).isEmpty());
    // The device's lines and the window's own in the log's two colours.
    EXPECT_NE(table->model()->index(0, 0).data(Qt::ForegroundRole),
              table->model()->index(1, 0).data(Qt::ForegroundRole));

    auto *direction = Find<QComboBox>(w, "cboFramesDirection");
    direction->setCurrentIndex(direction->findText(QStringLiteral("Tx")));
    ASSERT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(Cell(*table, 0, TFramesModel::Hex), "61 73 6B 0D 0A  ask..");
    direction->setCurrentIndex(0);
    Find<QLineEdit>(w, "edFramesFilter")->setText(QStringLiteral("ANSW"));
    ASSERT_TRUE(WaitUntil([&] { return table->model()->rowCount() == 1; }));
    EXPECT_EQ(Cell(*table, 0, TFramesModel::Length), "8");
    table->selectAll();
    EXPECT_TRUE(view->SelectedCsv().endsWith(",rx,8,61 6E 73 77 65 72 0D 0A,none,\n"))
        << view->SelectedCsv().toStdString();

    Find<QLineEdit>(w, "edFramesFilter")->setText(QStringLiteral("0d0A"));
    EXPECT_TRUE(WaitUntil([&] { return table->model()->rowCount() == 3; })) << "the line ends, as hex";

    EXPECT_FALSE(table->accessibleName().isEmpty());
    EXPECT_FALSE(table->horizontalHeader()->accessibleName().isEmpty());
    for (int c = 0; c < table->model()->columnCount(); ++c)
        EXPECT_FALSE(
            table->model()->headerData(c, Qt::Horizontal, Qt::AccessibleTextRole).toString().isEmpty());

    // Hidden again: the log has its place back.
    Find<QAction>(w, "mnuViewFrames")->trigger();
    EXPECT_FALSE(view->isVisibleTo(&w));
}

TEST(FramesView, DropsTheOldestRowsAtTheLimitWithANoteAndFollowsTheEndOnlyWhenAtIt)
{
    GuiTestEnv env;
    TFramesView view;
    view.resize(600, 300);
    view.show();
    TFramesModel &model = view.Model();
    model.SetByteLimit(size_t{1} << 20);
    QScrollBar *bar = view.Table().verticalScrollBar();
    const auto add = [&model](uint32_t from, uint32_t count) {
        for (uint32_t n = from; n < from + count; ++n) {
            ST_Frame frame;
            frame.Start = FrameTime{n};
            frame.Bytes.resize(8);
            std::memcpy(frame.Bytes.data(), &n, sizeof n);
            model.Add(frame);
        }
        model.Publish();
    };
    // The row's frame number, as the table shows it (little-endian, in the hex).
    const auto number = [&view](int row) {
        const QStringList hex =
            view.Table().model()->index(row, TFramesModel::Hex).data().toString().split(' ');
        return hex.size() < 4 ? -1 : (hex[1] + hex[0]).toInt(nullptr, 16);
    };
    add(0, 100);
    EXPECT_EQ(bar->value(), bar->maximum());
    add(100, 60000);
    const CFrameStore &store = model.Store();
    ASSERT_GT(store.Dropped(), 0u);
    EXPECT_EQ(view.Table().model()->rowCount(), static_cast<int>(store.Count()));
    EXPECT_EQ(number(0), static_cast<int>(store.Dropped() & 0xFFFF)) << "the row shows the oldest frame kept";
    EXPECT_EQ(bar->value(), bar->maximum()) << "at the end, the table follows";
    EXPECT_TRUE(Find<QLabel>(view, "lblFramesNote")->text().contains(QString::number(store.Dropped())));

    bar->setValue(bar->maximum() / 2);
    const int before = number(view.Table().rowAt(0));
    add(60100, 100);
    EXPECT_LT(bar->value(), bar->maximum()) << "scrolled away, the table stays";
    EXPECT_EQ(number(view.Table().rowAt(0)), before);

    // Saved on a thread of its own, what the table holds, header first.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frames.csv"));
    bool saved = false;
    QObject::connect(&view, &TFramesView::Saved, [&saved](bool ok, const QString &) { saved = ok; });
    view.SaveCsv(path);
    ASSERT_TRUE(WaitUntil([&saved] { return saved; }));
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadTextLines(path.toStdString(), lines));
    ASSERT_EQ(lines.size(), store.Count() + 1);
    EXPECT_EQ(lines[0] + "\n", CFrameCsv::Header());
}

TEST(FramesView, NamesTheCommandThatLowersTheLatencyTimerOfTheDeviceBehindALink)
{
    GuiTestEnv env;
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyUSB7"));
    const QString byId = dir.filePath(QStringLiteral("usb-Maker_Adapter-if00-port0"));
    ASSERT_TRUE(QFile(device).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(device, byId));
    TFramesView view;
    ST_FramingInfo info;
    info.On = true;
    info.WantedGap = std::chrono::milliseconds(2);
    info.Floor = std::chrono::milliseconds(16);
    view.ShowFraming(info, byId);
    const QString hint = Find<QLabel>(view, "lblFramesHint")->text();
    EXPECT_TRUE(hint.contains(QStringLiteral("16 ms"))) << hint.toStdString();
    EXPECT_TRUE(
        hint.contains(QStringLiteral("echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB7/latency_timer")))
        << hint.toStdString();
    view.ShowFraming(info, QStringLiteral("rfc2217://bench:4000"));
    EXPECT_FALSE(Find<QLabel>(view, "lblFramesHint")->text().contains(QStringLiteral("latency_timer")))
        << "a network port's floor is its own setting";
    info.Floor = std::chrono::milliseconds(1);
    view.ShowFraming(info, byId);
    EXPECT_TRUE(Find<QLabel>(view, "lblFramesHint")->text().isEmpty());
}
