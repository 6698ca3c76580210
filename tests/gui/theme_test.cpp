// The look of the windows (View > Theme) and the text size of the log and the console (zoom).
#include "console/gui/TConsoleView.h"
#include "data/commdata.h"
#include "log/gui/TTrafficLog.h"
#include "log/logcolours.h"
#include "platform/gui/TAppTheme.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"

namespace {

uint32_t Core(const QColor &c)
{
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

bool IsDark(const QColor &c)
{
    return RelativeLuminance(Core(c)) < 0.05;
}

TTrafficLog *Log(const QWidget &w)
{
    return Find<TTrafficLog>(w, "edData");
}

// The strongest contrast of any pixel in each line's row against the page: a glyph's stem is
// drawn in the line's full colour.
std::vector<double> InkContrasts(TTrafficLog &log)
{
    const QImage image = log.viewport()->grab().toImage();
    const uint32_t page = Core(log.viewport()->palette().color(QPalette::Base));
    const int height = QFontMetrics(log.font()).lineSpacing();
    std::vector<double> rows;
    for (int line = 0; line < log.LineCount(); ++line) {
        double best = 1;
        for (int y = line * height; y < (line + 1) * height && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                best = std::max(best, ContrastRatio(Core(image.pixelColor(x, y)), page));
        rows.push_back(best);
    }
    return rows;
}

void WheelOver(QWidget *viewport, int delta)
{
    const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

int Points(const QWidget &widget)
{
    return QFontInfo(widget.font()).pointSize();
}

} // namespace

TEST(Theme, DarkReachesTheLogAndTheConsoleReadablyAndIsKept)
{
    GuiTestEnv env;
    {
        const auto w = NewMainWindow();
        w->show();
        QAction *console = Find<QAction>(*w, "mnuViewConsole");
        console->trigger(); // the console is made when first shown
        auto *view = Find<TConsoleView>(*w, "console");
        console->trigger();
        TTrafficLog *log = Log(*w);
        log->LogRecData(CCommData(Bytes{'I', 'l', '|', 'H'}));
        log->LogSendData(CCommData(Bytes{'I', 'l', '|', 'H'}));
        log->LogNote("Il|H");
        EXPECT_FALSE(IsDark(log->viewport()->palette().color(QPalette::Base)));

        QAction *dark = Find<QAction>(*w, "mnuViewThemeDark");
        ASSERT_NE(dark, nullptr);
        dark->trigger();
        EXPECT_TRUE(dark->isChecked());
        ASSERT_TRUE(WaitUntil([&] {
            return IsDark(log->viewport()->palette().color(QPalette::Base)) &&
                   IsDark(view->palette().color(QPalette::Base));
        }));
        for (double contrast : InkContrasts(*log))
            EXPECT_GE(contrast, kLogMinContrast);
        EXPECT_GE(ContrastRatio(Core(view->palette().color(QPalette::Text)),
                                Core(view->palette().color(QPalette::Base))),
                  kLogMinContrast);
        // The toolbar's pictures stand out from the dark bar as a control's picture should.
        auto *save = Find<QToolButton>(*w, "btnSave");
        const QImage icon = save->icon().pixmap(24).toImage();
        const uint32_t bar = Core(save->palette().color(QPalette::Window));
        double strongest = 1;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (icon.pixelColor(x, y).alpha() == 255)
                    strongest = std::max(strongest, ContrastRatio(Core(icon.pixelColor(x, y)), bar));
        EXPECT_GE(strongest, 3.0);
    }
    // As the next start finds the application.
    TAppTheme::Instance().SetTheme(EAppTheme::System);
    const auto again = NewMainWindow();
    EXPECT_TRUE(Find<QAction>(*again, "mnuViewThemeDark")->isChecked());
    EXPECT_TRUE(WaitUntil([&] { return IsDark(Log(*again)->viewport()->palette().color(QPalette::Base)); }));
    Find<QAction>(*again, "mnuViewThemeSystem")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return !IsDark(Log(*again)->viewport()->palette().color(QPalette::Base)); }));
}

TEST(Theme, ZoomByMenuKeysAndWheelSizesLogAndConsoleAndIsKept)
{
    GuiTestEnv env;
    int zoomed = 0;
    {
        const auto w = NewMainWindow();
        w->show();
        TTrafficLog *log = Log(*w);
        const int first = Points(*log);
        QAction *zoomIn = Find<QAction>(*w, "mnuViewZoomIn");
        ASSERT_NE(zoomIn, nullptr);
        zoomIn->trigger();
        EXPECT_EQ(Points(*log), first + 1);
        WheelOver(log->viewport(), 2 * 120);
        EXPECT_EQ(Points(*log), first + 3);

        // The console takes the same size, and fits more columns to a smaller one.
        Find<QAction>(*w, "mnuViewConsole")->trigger();
        auto *view = Find<TConsoleView>(*w, "console");
        EXPECT_EQ(Points(*view), first + 3);
        const int columns = view->Cols();
        WheelOver(view->viewport(), -120);
        EXPECT_EQ(Points(*view), first + 2);
        EXPECT_EQ(Points(*log), first + 2);
        EXPECT_GT(view->Cols(), columns);

        // Ctrl+minus in the console is the window's zoom; Ctrl with a letter is still the device's.
        QSignalSpy toDevice(view, &TConsoleView::ToDevice);
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        EXPECT_EQ(Points(*view), first + 1);
        EXPECT_EQ(toDevice.count(), 0);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        ASSERT_EQ(toDevice.count(), 1);
        EXPECT_EQ(toDevice.front().front().value<std::vector<uint8_t>>(), std::vector<uint8_t>{0x03});
        zoomed = Points(*log);
    }
    const auto again = NewMainWindow();
    EXPECT_EQ(Points(*Log(*again)), zoomed);
    Find<QAction>(*again, "mnuViewZoomReset")->trigger();
    EXPECT_LT(Points(*Log(*again)), zoomed);
}
