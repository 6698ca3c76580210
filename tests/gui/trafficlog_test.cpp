#include "data/datapattern.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "platform/errors.h"
#include "tempdir.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

// The log on screen at this size, as the window shows it.
bool Shown(TTrafficLog &log, int width, int height)
{
    log.resize(width, height);
    log.show();
    return QTest::qWaitForWindowExposed(&log);
}

CCommData Item(std::initializer_list<uint8_t> bytes)
{
    return CCommData(Bytes(bytes));
}

std::vector<ST_LogRun> Runs(std::initializer_list<std::pair<std::string, uint32_t>> runs)
{
    std::vector<ST_LogRun> out;
    for (const auto &r : runs)
        out.push_back({r.first, r.second});
    return out;
}

std::string ClipboardText()
{
    return QGuiApplication::clipboard()->text().toLatin1().toStdString();
}

CSymbolTable CrLfTable()
{
    CSymbolTable table;
    table.SetEntry(0x0D, ST_Symbol{true, false, "CR"});
    table.SetEntry(0x0A, ST_Symbol{true, false, "LF"});
    table.SetEntry(0x07, ST_Symbol{true, true, "BEL"});
    return table;
}

constexpr uint32_t kBlue = kColorBlue;
constexpr uint32_t kRed = kColorRed;
constexpr uint32_t kNavy = kColorNavy;

} // namespace

TEST(TrafficLog, ModesZeroToTwoWriteTextHexAndDecimalInDirectionColours)
{
    TTrafficLog log;
    EXPECT_EQ(log.objectName(), "edData");
    EXPECT_TRUE(QFontInfo(log.font()).fixedPitch());

    log.SetDisplayType(0);
    log.LogRecData(Item({0x41, 0x42, 0x0D, 0x0A, 0x43}));
    ASSERT_EQ(log.LineCount(), 2); // the data's own CR LF breaks the line
    EXPECT_EQ(log.LineText(0), "Rec  :AB");
    EXPECT_EQ(log.LineText(1), "C");
    EXPECT_EQ(log.LineRuns(0), Runs({{"Rec  :", kBlue}, {"AB", kBlue}}));
    EXPECT_EQ(log.LineRuns(1), Runs({{"C", kBlue}}));

    log.SetDisplayType(1);
    log.LogRecData(Item({0x41, 0x42, 0x0D, 0x0A, 0x43}));
    log.SetDisplayType(2);
    log.LogRecData(Item({0x41, 0x42, 0x0D, 0x0A, 0x43}));
    log.LogSendData(Item({0x00, 0xFF}));
    ASSERT_EQ(log.LineCount(), 5);
    EXPECT_EQ(log.LineText(2), "Rec  :41 42 0D 0A 43 ");
    EXPECT_EQ(log.LineText(3), "Rec  :65 66 13 10 67 ");
    EXPECT_EQ(log.LineRuns(4), Runs({{"Send :", kRed}, {"0 255 ", kRed}}));

    // Time stamp in blue between header and data, whichever the direction.
    log.SetShowTime(true);
    log.SetTimeSource([] { return std::string("14:03:27"); });
    log.SetDisplayType(1);
    log.LogSendData(Item({0x41, 0x42}));
    log.LogRecData(Item({0x0A}));
    EXPECT_EQ(log.LineRuns(5), Runs({{"Send :", kRed}, {"(14:03:27)", kBlue}, {"41 42 ", kRed}}));
    EXPECT_EQ(log.LineRuns(6), Runs({{"Rec  :", kBlue}, {"(14:03:27)", kBlue}, {"0A ", kBlue}}));

    // An empty block still gives its header line.
    log.SetShowTime(false);
    log.LogRecData(CCommData());
    EXPECT_EQ(log.LineText(7), "Rec  :");
}

TEST(TrafficLog, TextModeLineBreaksNulAndHighBytes)
{
    TTrafficLog log;
    log.LogRecData(Item({0x41, 0x00, 0x42}));
    log.LogRecData(Item({'O', 'K', 0x0D, 0x0A}));
    log.LogRecData(Item({'O', 'K', 0x0D}));
    log.LogRecData(Item({'a', 0x0A, 0x0D, 'b', 0x0D, 0x0D}));
    log.LogRecData(Item({0xE9, 0x80, 0x09}));
    ASSERT_EQ(log.LineCount(), 8);
    EXPECT_EQ(log.LineText(0), std::string("Rec  :A\0B", 9)); // a NUL is kept as data
    EXPECT_EQ(log.LineText(1), "Rec  :OK");                   // the data's CR LF is the line's end
    EXPECT_EQ(log.LineText(2), "Rec  :OK");                   // so is a trailing CR
    EXPECT_EQ(log.LineText(3), "Rec  :a");
    EXPECT_EQ(log.LineText(4), "");
    EXPECT_EQ(log.LineText(5), "b");
    EXPECT_EQ(log.LineText(6), ""); // the last CR ends the empty line after b
    EXPECT_EQ(log.LineText(7), "Rec  :\xE9\x80\t");
}

TEST(TrafficLog, SymbolModeWritesPlainAndSymbolRuns)
{
    TTrafficLog log;
    log.SetSymbolTable(CrLfTable());
    log.SetDisplayType(3);

    log.LogRecData(Item({0x41, 0x0D, 0x0A}));
    log.LogSendData(Item({0x41, 0x0D, 0x0A}));
    EXPECT_EQ(log.LineRuns(0), Runs({{"Rec  :", kBlue}, {"A", kBlue}, {"CRLF", kBlue}}));
    EXPECT_EQ(log.LineRuns(1), Runs({{"Send :", kRed}, {"A", kRed}, {"CRLF", kNavy}}));

    // A hidden symbol leaves no text but still ends the plain run.
    log.LogSendData(Item({0x41, 0x07, 0x42}));
    EXPECT_EQ(log.LineRuns(2), Runs({{"Send :", kRed}, {"A", kRed}, {"B", kRed}}));
    // A leading symbol: the empty plain run before it shows nothing.
    log.LogSendData(Item({0x0D, 0x41}));
    EXPECT_EQ(log.LineRuns(3), Runs({{"Send :", kRed}, {"CR", kNavy}, {"A", kRed}}));
    // A plain NUL stays in its run; 0x8D is never a symbol.
    log.LogSendData(Item({0x41, 0x00, 0x42, 0x0D, 0x8D, 0x43}));
    EXPECT_EQ(log.LineRuns(4), Runs({{"Send :", kRed},
                                     {std::string("A\0B", 3), kRed},
                                     {"CR", kNavy},
                                     {"\x8D"
                                      "C",
                                      kRed}}));
    EXPECT_EQ(log.LineCount(), 5);

    // Without symbols the bytes are plain characters and break the line like text mode.
    log.SetSymbolTable(CSymbolTable());
    log.LogRecData(Item({0x41, 0x0D, 0x0A, 0x43}));
    ASSERT_EQ(log.LineCount(), 7);
    EXPECT_EQ(log.LineText(5), "Rec  :A");
    EXPECT_EQ(log.LineText(6), "C");
}

TEST(TrafficLog, SaveAndCopyGiveOneCrLfLinePerDisplayedLine)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("traffic.log").toStdString();
    TTrafficLog log;

    log.SaveToFile(path);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(ReadRaw(path), "");

    log.LogRecData(Item({0x41, 0x42, 0x0D, 0x0A, 0x43}));
    log.SetDisplayType(1);
    log.LogSendData(Item({0x41, 0xC8}));
    const std::string expected = "Rec  :AB\r\nC\r\nSend :41 C8 \r\n";
    log.SaveToFile(path);
    EXPECT_EQ(ReadRaw(path), expected);

    log.SetSelection(0, 1, 0, 2); // the selection does not matter for copy
    log.CopyToClipboard();
    EXPECT_EQ(ClipboardText(), expected);

    EXPECT_THROW(log.SaveToFile(dir.filePath("missing/traffic.log").toStdString()), EFCreateError);
    EXPECT_EQ(log.LineCount(), 3);
}

TEST(TrafficLog, ClearEmptiesTheLogAndStartsAgainAtTheTop)
{
    TTrafficLog log;
    log.resize(400, 120);
    log.show();
    for (int i = 0; i < 50; ++i)
        log.LogRecData(Item({0x41}));
    log.SelectAll();
    log.Clear();
    EXPECT_EQ(log.LineCount(), 0);
    EXPECT_FALSE(log.HasSelection());
    EXPECT_EQ(log.WholeText(), "");
    EXPECT_EQ(log.verticalScrollBar()->value(), 0);
    log.LogRecData(Item({0x42}));
    EXPECT_EQ(log.LineCount(), 1);
    EXPECT_EQ(log.LineText(0), "Rec  :B");
}

TEST(TrafficLog, SelectionByMouseAndKeyboardCopiesSelectedText)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 500, 300));
    log.LogRecData(Item({'h', 'e', 'l', 'l', 'o'}));
    log.LogRecData(Item({'w', 'o', 'r', 'l', 'd'}));
    log.LogRecData(Item({'x'}));

    log.SetSelection(0, 8, 1, 9);
    EXPECT_EQ(log.SelectedText(), "llo\r\nRec  :wor");
    log.SetSelection(1, 9, 0, 8); // backwards gives the same text
    EXPECT_EQ(log.SelectedText(), "llo\r\nRec  :wor");

    // Drag from the start of line 0 to column 3 of line 1.
    const QFontMetrics metrics(log.font());
    const int cw = metrics.horizontalAdvance(QLatin1Char('M'));
    const int lh = metrics.lineSpacing();
    QWidget *vp = log.viewport();
    const QPoint from(3 + 0 * cw + 1, lh / 2);
    const QPoint to(3 + 3 * cw + 1, lh + lh / 2);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), vp->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(log.SelectedText(), "Rec  :hello\r\nRec");

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ClipboardText(), "Rec  :hello\r\nRec");

    QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(log.SelectedText(), "Rec  :hello\r\nRec  :world\r\nRec  :x");

    // New lines leave the selection where it was.
    log.SetSelection(1, 6, 1, 11);
    log.LogRecData(Item({'y'}));
    EXPECT_EQ(log.SelectedText(), "world");

    // A double click takes a word, a third click the line, Shift+click moves the end.
    const QPoint onX(3 + 6 * cw + 1, 2 * lh + lh / 2);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(5, lh / 2));
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(5, lh / 2));
    EXPECT_EQ(log.SelectedText(), "Rec");
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, onX);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, onX);
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, onX);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, onX);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, onX);
    EXPECT_EQ(log.SelectedText(), "Rec  :x");
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(3 + 8 * cw + 1, lh / 2));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, QPoint(3 + 9 * cw + 1, lh + lh / 2));
    EXPECT_EQ(log.SelectedText(), "llo\r\nRec  :wor");
}

TEST(TrafficLog, FollowsTheEndOnlyWhileAtTheBottom)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 400, 150));
    QScrollBar *v = log.verticalScrollBar();
    for (int i = 0; i < 100; ++i)
        log.LogRecData(Item({0x41}));
    EXPECT_EQ(v->maximum(), 0); // the view catches up once per frame, not per line
    log.FlushView();
    EXPECT_GT(v->maximum(), 0);
    EXPECT_EQ(v->value(), v->maximum());

    v->setValue(10);
    log.LogRecData(Item({0x41}));
    log.FlushView();
    EXPECT_EQ(v->value(), 10);
    EXPECT_FALSE(log.IsFollowingEnd());

    v->setValue(v->maximum());
    log.LogRecData(Item({0x41}));
    log.LogRecData(Item({0x41}));
    // Left to the timer this time, as in the running program.
    EXPECT_TRUE(QTest::qWaitFor([&] { return v->maximum() == log.LineCount() - v->pageStep(); }, 5000));
    EXPECT_EQ(v->value(), v->maximum());

    // A zoom makes a page hold fewer lines; the view stays at the end and goes on following.
    QFont bigger = log.font();
    bigger.setPointSizeF(bigger.pointSizeF() * 2);
    log.setFont(bigger);
    EXPECT_TRUE(log.IsFollowingEnd());
    log.LogRecData(Item({0x42}));
    log.FlushView();
    EXPECT_EQ(v->value(), v->maximum());
    EXPECT_EQ(v->value(), log.LineCount() - v->pageStep());
}

// Frames that keep following each other draw ten times a second; a pause brings back twenty.
TEST(TrafficLog, ASteadyStreamIsDrawnLessOftenUntilItPauses)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 400, 150));
    QScrollBar *v = log.verticalScrollBar();
    const auto drawn = [&] { return v->maximum() == std::max(0, log.LineCount() - v->pageStep()); };
    for (int i = 0; i < 20; ++i)
        log.LogRecData(Item({0x41}));
    log.FlushView();
    QCoreApplication::processEvents(); // drawn, so that the next frame is not one that redraws all
    log.FlushView();
    const int quick = log.FrameMs();
    int frames = 0;
    // Each line comes as soon as the one before is drawn, as a stream's do.
    while (log.FrameMs() == quick && frames < 200) {
        log.LogRecData(Item({0x41}));
        ASSERT_TRUE(QTest::qWaitFor(drawn, 5000));
        ++frames;
    }
    EXPECT_EQ(log.FrameMs(), 2 * quick);
    EXPECT_GT(frames, 5);
    EXPECT_EQ(log.FrameMs(false), quick);

    QTest::qWait(3 * log.FrameMs()); // the stream pauses
    log.LogRecData(Item({0x41}));
    ASSERT_TRUE(QTest::qWaitFor(drawn, 5000));
    EXPECT_EQ(log.FrameMs(), quick);
}

// A frame draws only the rows whose line changed and moves the others: what the screen shows
// must still be what drawing the whole view afresh gives, whatever moved the lines.
TEST(TrafficLog, ScreenMatchesAFreshDrawingAsLinesComeGoAndScroll)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 320, 170)); // not a whole number of rows
    const auto fresh = [&] {
        log.FlushView();
        QCoreApplication::processEvents(); // the drawing the frame asked for
        const QRect area(log.viewport()->mapTo(&log, QPoint()), log.viewport()->size());
        const QImage shown = log.screen()->grabWindow(log.winId()).toImage().copy(area);
        const QImage drawn = log.viewport()->grab().toImage();
        return shown.convertToFormat(QImage::Format_RGB32) == drawn.convertToFormat(QImage::Format_RGB32);
    };
    int next = 0;
    const auto add = [&](int lines) {
        for (int i = 0; i < lines; ++i)
            log.LogRecData(CCommData("line " + std::to_string(next++), FMT_STRING));
        return fresh();
    };
    QScrollBar *v = log.verticalScrollBar();
    for (int lines : {3, 40, 0, 1, 2, 5, 1})
        EXPECT_TRUE(add(lines)) << lines;

    v->setValue(10); // the user looks further up while lines come
    EXPECT_TRUE(add(3));
    v->setValue(13);
    log.SetSelection(14, 2, 16, 4);
    EXPECT_TRUE(fresh());
    v->setValue(v->maximum());
    EXPECT_TRUE(add(2));

    // A full scrollback: lines leave the top while the view stays at the end.
    log.SetScrollbackBytes(log.MemoryBytes());
    for (int lines : {1, 4, 30})
        EXPECT_TRUE(add(lines)) << lines;

    log.LogRecData(CCommData(std::string("between frames"), FMT_STRING));
    log.viewport()->grab(); // a picture taken between frames is not what the screen shows
    EXPECT_TRUE(fresh());
    log.Clear();
    EXPECT_TRUE(add(2));

    // Every byte in both directions' colours, some cells of which are copied and some drawn.
    std::string every;
    for (int c = 0; c < 256; ++c)
        every += c == '\r' || c == '\n' ? ' ' : static_cast<char>(c);
    for (size_t at = 0; at < every.size(); at += 40) {
        log.LogRecData(CCommData(every.substr(at, 40), FMT_STRING));
        log.LogSendData(CCommData(every.substr(at, 40), FMT_STRING));
    }
    EXPECT_TRUE(fresh());
}

// Long hex and decimal lines are drawn from their start only; a highlighter gets whole lines, so
// with one that marks nothing the same view is drawn from whole lines.
TEST(TrafficLog, LongNumberLinesLookTheSameDrawnFromTheirStart)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 500, 170));
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += static_cast<char>(i * 7);
    for (int type : {1, 2}) {
        log.SetDisplayType(type);
        log.LogRecData(CCommData(bytes, FMT_STRING));
        log.LogSendData(CCommData(bytes.substr(5), FMT_STRING));
    }
    log.FlushView();
    for (int scrolled : {0, 777}) {
        log.horizontalScrollBar()->setValue(scrolled);
        log.SetHighlighter({});
        const QImage fromStart = log.viewport()->grab().toImage();
        log.SetHighlighter([](const std::string &) { return std::vector<std::pair<size_t, size_t>>(); });
        EXPECT_EQ(fromStart, log.viewport()->grab().toImage()) << scrolled;
    }
}

TEST(TrafficLog, PaintsVisibleLinesInTheirColours)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 400, 200));
    log.SetDisplayType(1);
    log.LogRecData(Item({0x41, 0x42, 0x43}));
    log.LogSendData(Item({0x41, 0x42, 0x43}));
    const QImage image = log.viewport()->grab().toImage();
    const QFontMetrics metrics(log.font());
    const int lh = metrics.lineSpacing();
    const auto hasColour = [&](int top, int bottom, bool wantRed) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                const bool red = c.red() > 150 && c.blue() < 100;
                const bool blue = c.blue() > 150 && c.red() < 100;
                if (wantRed ? red : blue)
                    return true;
            }
        return false;
    };
    EXPECT_TRUE(hasColour(0, lh, false));
    EXPECT_FALSE(hasColour(0, lh, true));
    EXPECT_TRUE(hasColour(lh, 2 * lh, true));
}

TEST(TrafficLog, ContextMenuOpensTheMenuGiven)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 300, 200));
    QMenu menu;
    menu.addAction("Show &Time");
    log.SetContextMenu(&menu);
    int shown = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] {
        ++shown;
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            log.viewport()->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(log.viewport(), &event);
    EXPECT_EQ(shown, 1);
}

TEST(TrafficLog, TimeStampFormatDropsZoneAndMilliseconds)
{
    EXPECT_EQ(LogTimeFormat("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(LogTimeFormat("h:mm:ss AP t"), "h:mm:ss AP");
    EXPECT_EQ(LogTimeFormat("t HH:mm:ss"), "HH:mm:ss");
    EXPECT_EQ(LogTimeFormat("HH:mm:ss.zzz"), "HH:mm:ss");
    EXPECT_EQ(LogTimeFormat("HH 'h' mm 'min' ss 's' t"), "HH 'h' mm 'min' ss 's'");
    EXPECT_EQ(LogTimeFormat("'it''s' HH:mm"), "'it''s' HH:mm");
    EXPECT_EQ(LogTimeFormat(""), "hh:mm:ss");
    EXPECT_EQ(LogTimeFormat("mm:ss t"), "hh:mm:ss");

    TTrafficLog log;
    log.SetShowTime(true);
    log.LogRecData(Item({0x41}));
    const QString line = QString::fromLatin1(log.LineText(0).c_str());
    EXPECT_TRUE(QRegularExpression(R"(^Rec  :\(\d{1,2}:\d\d:\d\d[^)]*\)A$)").match(line).hasMatch())
        << line.toStdString();
}

TEST(TrafficLog, BlocksOfEverySizeComeBackIntactAcrossStorageChunks)
{
    // Sizes chosen to fill storage chunks unevenly, cross their ends and need chunks of their own.
    TTrafficLog log;
    log.SetDisplayType(1);
    std::string expected;
    unsigned seed = 1;
    for (size_t size : {0u, 1u, 17u, 16383u, 16384u, 40000u, 30000u, 65536u, 70000u, 5u, 65535u, 3u}) {
        Bytes bytes(size);
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(seed = seed * 1103515245u + 12345u);
        const CCommData item(bytes);
        log.LogSendData(item);
        expected += "Send :" + item.ToHexText() + "\r\n";
    }
    EXPECT_EQ(log.LineCount(), 12);
    EXPECT_TRUE(log.WholeText() == expected);
}

TEST(TrafficLog, DragBeyondTheLowerEdgeKeepsScrollingAndSelecting)
{
    TTrafficLog log;
    ASSERT_TRUE(Shown(log, 400, 150));
    for (int i = 0; i < 100; ++i)
        log.LogRecData(Item({static_cast<uint8_t>('0' + i % 10)}));
    log.FlushView();
    QScrollBar *v = log.verticalScrollBar();
    v->setValue(0);

    QWidget *vp = log.viewport();
    const QPoint below(20, vp->height() + 10);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QMouseEvent move(QEvent::MouseMove, QPointF(below), vp->mapToGlobal(QPointF(below)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &move);
    // The mouse rests below the view; the selection must still grow.
    EXPECT_TRUE(QTest::qWaitFor([&] { return v->value() >= 3; }, 5000));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, below);
    const int scrolled = v->value();
    QTest::qWait(120);
    EXPECT_EQ(v->value(), scrolled); // released: no more scrolling

    const std::string text = log.SelectedText();
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_GT(lines, v->pageStep());
    EXPECT_EQ(text.substr(0, 8), "Rec  :0\r");
}

// Past the scrollback limit the oldest blocks go whole; one marker line at the top counts the lines
// that went, and the selection stays on its text.
TEST(TrafficLog, ScrollbackDropsTheOldestLinesBehindOneMarker)
{
    TTrafficLog log;
    log.SetDisplayType(0);
    log.LogRecData(CCommData(std::string("a1\r\na2"), FMT_STRING)); // two lines
    log.LogRecData(CCommData(std::string("bbb"), FMT_STRING));
    // Room for these two and a little more, but not for another block's record.
    log.SetScrollbackBytes(log.MemoryBytes() + 10);
    EXPECT_EQ(log.LineCount(), 3);
    log.SetSelection(2, 1, 2, 3);
    const std::string selected = log.SelectedText();

    log.LogRecData(CCommData(std::string("cccc"), FMT_STRING)); // the first block goes
    ASSERT_EQ(log.LineCount(), 3);
    EXPECT_EQ(log.LineText(0), "[2 older lines removed]");
    EXPECT_EQ(log.LineText(1), "Rec  :bbb");
    EXPECT_EQ(log.SelectedText(), selected);

    const std::string large(log.ScrollbackBytes(), 'd'); // larger than the limit: kept alone
    log.LogRecData(CCommData(large, FMT_STRING));
    ASSERT_EQ(log.LineCount(), 2);
    EXPECT_EQ(log.WholeText(), "[4 older lines removed]\r\nRec  :" + large + "\r\n");
    EXPECT_EQ(log.LineRuns(0).size(), 1u);
    log.Clear();
    EXPECT_EQ(log.LineCount(), 0);

    // Blocks of every size through many storage chunks: what is kept stays intact.
    log.SetDisplayType(1);
    log.SetScrollbackBytes(200 * 1000);
    std::vector<std::string> lines;
    for (size_t i = 0; i < 400; ++i) {
        Bytes bytes((i * 7919) % 30000 + 1, static_cast<uint8_t>(i));
        const CCommData item(bytes);
        log.LogSendData(item);
        lines.push_back("Send :" + item.ToHexText());
    }
    const int kept = log.LineCount() - 1;
    ASSERT_GT(kept, 5);
    EXPECT_EQ(log.LineText(0), "[" + std::to_string(400 - kept) + " older lines removed]");
    for (int i = 1; i <= kept; ++i)
        ASSERT_EQ(log.LineText(i), lines[static_cast<size_t>(400 - kept + i - 1)]) << i;
}

TEST(TrafficLog, AHeldReceivedLineIsShownAfterAQuietMoment)
{
    TTrafficLog log;
    log.SetSplitLines(true);
    log.LogRecData(Item({'o', 'k', '\r', '\n', '>', ' '}));
    EXPECT_EQ(log.LineCount(), 1);
    QTRY_COMPARE(log.LineCount(), 2);
    EXPECT_EQ(log.LineText(1), "Rec  :> ");
}
