// View > Plot on a pseudo-terminal: what a board prints becomes series, shown and exported.
#include "frame/frameprofiles.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/gui/windowplace.h"
#include "platform/textfile.h"
#include "plot/gui/TPlotCanvas.h"
#include "plot/gui/TfrmPlot.h"
#include "session/portsession.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

QStringList Legend(const TfrmPlot &plot)
{
    QStringList names;
    auto *legend = Find<QListWidget>(plot, "lstPlotLegend");
    for (int i = 0; i < legend->count(); ++i)
        names << legend->item(i)->text();
    return names;
}

} // namespace

TEST(Plot, BoardLinesBecomeNamedSeriesShownAndExported)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    pty.Send("temp:1,hum:2\r\n");
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(w).RecBytes() == 14; }));
    EXPECT_EQ(w.findChild<TfrmPlot *>(QStringLiteral("frmPlot")), nullptr) << "no plot until asked for";

    const qint64 askedAt = QDateTime::currentMSecsSinceEpoch();
    w.findChild<QAction *>(QStringLiteral("mnuViewPlot"))->trigger();
    const qint64 shownAt = QDateTime::currentMSecsSinceEpoch();
    auto *plot = w.findChild<TfrmPlot *>(QStringLiteral("frmPlot"));
    ASSERT_NE(plot, nullptr);
    EXPECT_TRUE(plot->isVisible());
    EXPECT_EQ(plot->windowTitle().toStdString(), "Plot - Window 1 - Pty (" + pty.Path() + ")");
    EXPECT_TRUE(plot->screen()->availableGeometry().contains(plot->frameGeometry()));
    for (QWidget *control : plot->findChildren<QWidget *>()) {
        if (control->focusPolicy() != Qt::NoFocus) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
        }
    }

    pty.Send("temp:21.5,hum:40\r\nbooting, please wait\r\ntemp:2");
    pty.Send("2,hum:41\r\n");
    ASSERT_TRUE(WaitUntil([&] { return plot->Store().Points() == 4; }));
    // The legend follows at the next frame.
    EXPECT_TRUE(WaitUntil([&] {
        return Legend(*plot) == QStringList{"temp", "hum"};
    })) << Legend(*plot).join(',').toStdString();

    // Pause freezes the view; the lines still count.
    Find<QPushButton>(plot, "btnPlotPause")->click();
    const int64_t frozenEnd = plot->Canvas()->ViewEnd();
    pty.Send("temp:23,hum:42\r\n");
    ASSERT_TRUE(WaitUntil([&] { return plot->Store().Points() == 6; }));
    EXPECT_EQ(plot->Canvas()->ViewEnd(), frozenEnd);
    Find<QPushButton>(plot, "btnPlotPause")->click();

    // A drag across the canvas zooms into that span; Reset Zoom goes back to the live span.
    TPlotCanvas *canvas = plot->Canvas();
    const int y = canvas->height() / 2;
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, y));
    QTest::mouseMove(canvas, QPoint(200, y));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(200, y));
    const int64_t zoomed = canvas->ViewEnd() - canvas->ViewStart();
    EXPECT_GT(zoomed, 0);
    EXPECT_LT(zoomed, 30'000 / 2);
    Find<QPushButton>(plot, "btnPlotResetZoom")->click();
    EXPECT_EQ(canvas->ViewEnd() - canvas->ViewStart(), 30'000);

    // Hiding a series leaves it out of the export.
    Find<QListWidget>(plot, "lstPlotLegend")->item(1)->setCheckState(Qt::Unchecked);
    const QString target = env.FilePath(QStringLiteral("values"));
    ModalCatcher dialogs([&](QDialog *d) {
        auto *files = qobject_cast<QFileDialog *>(d);
        ASSERT_NE(files, nullptr);
        SelectFile(files, target);
        d->accept();
    });
    Find<QPushButton>(plot, "btnPlotExportCsv")->click();
    EXPECT_EQ(dialogs.Seen(), QStringList{"dlgPlotCsv"});
    std::string csv;
    ASSERT_TRUE(ReadWholeFile((target + ".csv").toStdString(), csv));
    const std::vector<std::string> lines = SplitTextLines(csv);
    ASSERT_EQ(lines.size(), 4u) << csv;
    EXPECT_EQ(lines[0], "time,temp,clock");
    // The clock time of each row is the plot's start, on the wall clock, plus its seconds.
    for (size_t i = 1; i < 4; ++i) {
        const std::string value[] = {"21.5", "22", "23"};
        const QStringList cells = QString::fromStdString(lines[i]).split(',');
        ASSERT_EQ(cells.size(), 3) << csv;
        EXPECT_EQ(cells[1].toStdString(), value[i - 1]) << csv;
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)")
                        .match(cells[2])
                        .hasMatch())
            << csv;
        const QDateTime clock = QDateTime::fromString(cells[2], Qt::ISODateWithMs);
        ASSERT_TRUE(clock.isValid()) << csv;
        const qint64 start = clock.toMSecsSinceEpoch() - qRound64(cells[0].toDouble() * 1000);
        EXPECT_GE(start, askedAt) << csv;
        EXPECT_LE(start, shownAt) << csv;
    }

    // Closed, the window takes nothing more, and no picture is drawn from it.
    plot->close();
    pty.Send("temp:24,hum:43\r\n");
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(w).RecBytes() == 14 + 46 + 10 + 16 + 16; }));
    EXPECT_EQ(plot->Store().Points(), 6u);

    Feature<TPortCommands>(w)->Open(Link("Again", pty.Path()));
    EXPECT_EQ(plot->windowTitle().toStdString(), "Plot - Window 1 - Again (" + pty.Path() + ")");
}

// Beside the main window: right of it, else left, else over it but whole on the screen.
TEST(Plot, DecodedValuesChosenByNameArePlottedFromTheFramesThatFollow)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    const COM_PORT_SETTING link = Link("Gps", pty.Path());
    Feature<TPortCommands>(w)->Open(link);
    ASSERT_TRUE(SessionOf(w).IsOpen());
    SessionOf(w).Frames().SetProfile(CFrameProfile::BuiltIn("NMEA 0183"), LineTimingOf(link));
    size_t frames = 0;
    SessionOf(w).Frames().SetObserver("test", [&frames](const ST_Frame &) { ++frames; });
    w.findChild<QAction *>(QStringLiteral("mnuViewPlot"))->trigger();
    auto *plot = w.findChild<TfrmPlot *>(QStringLiteral("frmPlot"));
    ASSERT_NE(plot, nullptr);
    const auto gga = [](const std::string &alt, const std::string &sats) {
        const std::string body =
            "GPGGA,123519,4807.038,N,01131.000,E,1," + sats + ",0.9," + alt + ",M,46.9,M,,";
        uint8_t sum = 0;
        for (const char c : body)
            sum ^= static_cast<uint8_t>(c);
        char check[4];
        std::snprintf(check, sizeof check, "%02X", sum);
        return "$" + body + "*" + check + "\r\n";
    };

    // The values of a series by name (the sentences' text gives numbered series of its own).
    const auto series = [plot](const std::string &name) {
        std::vector<double> values;
        const std::vector<std::string> &names = plot->Parser().SeriesNames();
        const auto at = std::find(names.begin(), names.end(), name);
        if (at != names.end() && at - names.begin() < plot->Store().SeriesCount())
            for (const ST_PlotSample &sample : plot->Store().Samples(int(at - names.begin())))
                values.push_back(sample.Value);
        return values;
    };

    // Nothing is read out for the plot before a name is chosen.
    pty.Send(gga("545.4", "07"));
    ASSERT_TRUE(WaitUntil([&] { return frames == 1; }));
    QTest::keyClicks(Find<QLineEdit>(plot, "edtPlotDecoded"), "GGA.alt, GGA.sats,GGA.nothing");
    pty.Send(gga("546.0", "08"));
    ASSERT_TRUE(WaitUntil([&] { return !series("GGA.sats").empty(); }));
    EXPECT_EQ(series("GGA.alt"), std::vector<double>{546.0});
    EXPECT_EQ(series("GGA.sats"), std::vector<double>{8});
    const std::vector<std::string> &names = plot->Parser().SeriesNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "GGA.nothing"), 0);

    // Cleared, the next frame plots nothing.
    Find<QLineEdit>(plot, "edtPlotDecoded")->clear();
    pty.Send(gga("547.0", "09"));
    ASSERT_TRUE(WaitUntil([&] { return frames == 3; }));
    EXPECT_EQ(series("GGA.alt"), std::vector<double>{546.0});
    SessionOf(w).Frames().SetObserver("test", nullptr);
}

TEST(Plot, OpensBesideItsWindowAndOnTheScreen)
{
    const QRect area(0, 0, 1920, 1040);
    EXPECT_EQ(FrameBeside(QRect(100, 50, 900, 700), QSize(860, 460), area), QRect(1000, 50, 860, 460));
    EXPECT_EQ(FrameBeside(QRect(1000, 700, 900, 700), QSize(860, 460), area), QRect(140, 580, 860, 460));
    EXPECT_EQ(FrameBeside(QRect(300, 0, 1400, 900), QSize(2000, 460), area), QRect(0, 0, 1920, 460));
}

TEST(Plot, ExtremeValuesLeaveEverySeriesDrawnAndNoNumbersAreMarked)
{
    GuiTestEnv env;
    const std::vector<std::string> names = {"sine", "a", "b"};
    CPlotStore store, marked;
    for (int i = 0; i < 800; ++i) {
        const ST_PlotValue sine{0, std::sin(i / 20.0)};
        store.AddLine(i * 10, &sine, 1);
        marked.AddLine(i * 10, &sine, 1);
    }
    const ST_PlotValue extremes[] = {{1, 1e308}, {2, -1e308}};
    store.AddLine(8000, extremes, 2);
    marked.AddLine(8000, extremes, 2);
    const ST_PlotValue none{0, std::nan("")};
    marked.AddLine(8010, &none, 1);
    const auto picture = [&names](const CPlotStore &values) {
        TPlotCanvas canvas(values, names);
        canvas.resize(500, 300);
        canvas.SetView(0, 8010, 0);
        return canvas.Picture();
    };
    const QImage image = picture(store);
    const QRgb sine = TPlotCanvas::SeriesColour(0, image.pixelColor(1, 1)).rgb();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += image.pixel(x, y) == sine;
    // More than the legend's swatch: the sine is a stroke across the plot.
    EXPECT_GT(inked, 300);
    EXPECT_TRUE(picture(marked) != image) << "the value left out is marked";
}
