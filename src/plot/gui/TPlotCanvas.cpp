#include "plot/gui/TPlotCanvas.h"

#include "data/gui/dialogsupport.h"
#include "log/logcolours.h"
#include "plot/plotscale.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeft = 64, kRight = 10, kTop = 8, kBottom = 22;

QString TickText(double value, double step)
{
    if (std::abs(value) < step / 2)
        value = 0; // no "-0"
    // Beyond what fits beside the plot as plain digits, in powers of ten.
    if (std::abs(value) >= 1e9 || (value != 0 && step < 1e-9))
        return QString::number(value, 'g', 6);
    const int decimals = step >= 1 ? 0 : std::min(9, static_cast<int>(std::ceil(-std::log10(step))));
    return QString::number(value, 'f', decimals);
}

} // namespace

TPlotCanvas::TPlotCanvas(const CPlotStore &store, const std::vector<std::string> &names, QWidget *parent)
    : QWidget(parent), m_store(store), m_names(names)
{
    setObjectName(QStringLiteral("plotCanvas"));
    setAccessibleName(tr("Plot"));
    setAccessibleDescription(tr("Drag across the plot to zoom into a span of time"));
    setMinimumSize(320, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void TPlotCanvas::SetView(int64_t t0, int64_t t1, int64_t originMs)
{
    m_t0 = t0;
    m_t1 = std::max(t1, t0 + 1);
    m_origin = originMs;
}

void TPlotCanvas::SetShown(int series, bool shown)
{
    if (series < 0)
        return;
    if (static_cast<size_t>(series) >= m_hidden.size())
        m_hidden.resize(static_cast<size_t>(series) + 1, false);
    m_hidden[static_cast<size_t>(series)] = !shown;
    update();
}

bool TPlotCanvas::Shown(int series) const
{
    return series < 0 || static_cast<size_t>(series) >= m_hidden.size() ||
           !m_hidden[static_cast<size_t>(series)];
}

void TPlotCanvas::SetFixedRange(bool fixed, double low, double high)
{
    m_fixed = fixed && std::isfinite(low) && std::isfinite(high) && low < high;
    m_low = low;
    m_high = high;
    update();
}

QColor TPlotCanvas::SeriesColour(int series)
{
    // Apart on a white ground and from each other in the order series usually come.
    static const QRgb colours[16] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                                     0xe377c2, 0x17becf, 0x7f7f7f, 0xbcbd22, 0x000080, 0x800000,
                                     0x008080, 0x808000, 0xff00ff, 0x000000};
    return QColor(colours[static_cast<size_t>(series) % 16]);
}

// On a dark ground the darker series lighten until they read at 3:1, the bar for graphics; on a
// light one they stay as they always were.
QColor TPlotCanvas::SeriesColour(int series, const QColor &ground)
{
    const auto toCore = [](const QColor &c) {
        return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
               static_cast<uint32_t>(c.blue()) << 16;
    };
    if (RelativeLuminance(toCore(ground)) > 0.18)
        return SeriesColour(series);
    const uint32_t shown = WithContrast(toCore(SeriesColour(series)), toCore(ground), 3.0);
    return QColor(shown & 0xFF, (shown >> 8) & 0xFF, (shown >> 16) & 0xFF);
}

QRect TPlotCanvas::PlotArea(const QRect &target) const
{
    return target.adjusted(kLeft, kTop, -kRight, -kBottom);
}

int64_t TPlotCanvas::TimeAt(int x) const
{
    const QRect area = PlotArea(rect());
    const int column = std::clamp(x - area.left(), 0, std::max(area.width() - 1, 0));
    return m_t0 + (m_t1 - m_t0) * column / std::max(area.width() - 1, 1);
}

void TPlotCanvas::Render(QPainter &painter, const QRect &target) const
{
    painter.save();
    // The ground and the ink are the palette's, so the plot follows the light or dark look.
    const QColor ground = palette().color(QPalette::Base);
    const QColor ink = palette().color(QPalette::Text);
    painter.fillRect(target, ground);
    const QRect area = PlotArea(target);
    if (area.width() < 2 || area.height() < 2) {
        painter.restore();
        return;
    }
    const int columns = area.width();

    // Each shown series reduced to its columns once; the range and the strokes both come from them.
    std::vector<std::pair<int, std::vector<ST_PlotSpan>>> shown;
    double low = INFINITY, high = -INFINITY;
    for (int s = 0; s < m_store.SeriesCount(); ++s) {
        if (!Shown(s))
            continue;
        shown.emplace_back(s, m_store.Decimate(s, m_t0, m_t1, columns));
        for (const ST_PlotSpan &span : shown.back().second)
            if (!std::isnan(span.Min)) {
                low = std::min(low, span.Min);
                high = std::max(high, span.Max);
            }
    }
    const ST_PlotScale scale = PlotScaleFor(m_fixed ? m_low : low, m_fixed ? m_high : high, m_fixed,
                                            std::max(2, area.height() / 40));
    const auto yOf = [&](double v) { return area.bottom() - scale.Offset(v, area.height()); };

    // Grid and value ticks.
    const QFontMetrics metrics(painter.font());
    const auto mix = [](const QColor &a, const QColor &b, double share) {
        return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * share,
                                a.greenF() + (b.greenF() - a.greenF()) * share,
                                a.blueF() + (b.blueF() - a.blueF()) * share);
    };
    painter.setPen(mix(ground, ink, 0.12));
    const double yStep = static_cast<double>(scale.Step);
    std::vector<std::pair<double, double>> yTicks;
    for (double v : scale.Ticks)
        yTicks.emplace_back(v, yOf(v));
    for (const auto &[v, y] : yTicks)
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    const double seconds = (m_t1 - m_t0) / 1000.0;
    const double tStep = static_cast<double>(PlotNiceStep(seconds, std::max(2, area.width() / 90)));
    const double first = (m_t0 - m_origin) / 1000.0;
    std::vector<std::pair<double, double>> tTicks;
    for (double t = std::ceil(first / tStep) * tStep; t <= first + seconds && tTicks.size() < 100; t += tStep)
        tTicks.emplace_back(t, area.left() + (t - first) / seconds * (columns - 1));
    for (const auto &[t, x] : tTicks)
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));

    painter.setPen(ink);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    for (const auto &[v, y] : yTicks)
        painter.drawText(QRectF(target.left(), y - metrics.height() / 2.0, kLeft - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, TickText(v, yStep));
    for (const auto &[t, x] : tTicks) {
        // The label under the right edge stays whole, moved in from the edge.
        const QString text = TickText(t, tStep) + QStringLiteral(" s");
        const double half = metrics.horizontalAdvance(text) / 2.0 + 1;
        const double centre = std::min(x, target.right() - half);
        painter.drawText(QRectF(centre - half, area.bottom() + 3, 2 * half, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, text);
    }

    // The strokes: down and up each column, joined to the next column that has values.
    painter.setClipRect(area);
    QPolygonF line;
    line.reserve(columns * 2);
    for (const auto &[series, spans] : shown) {
        line.clear();
        for (int c = 0; c < columns; ++c) {
            const ST_PlotSpan &span = spans[static_cast<size_t>(c)];
            if (std::isnan(span.Min))
                continue;
            const double x = area.left() + c + 0.5;
            line << QPointF(x, yOf(span.Max));
            if (span.Min != span.Max)
                line << QPointF(x, yOf(span.Min));
        }
        painter.setPen(
            QPen(SeriesColour(series, ground), 1)); // the thin pen is drawn without the costly outline
        if (line.size() == 1)
            painter.drawPoint(line.front());
        else
            painter.drawPolyline(line);
    }
    painter.setClipping(false);

    // Values that were no numbers to draw are not passed over in silence.
    if (m_store.Skipped() > 0) {
        const QString text = tr("Left out, not finite: %1").arg(m_store.Skipped());
        const int width = metrics.horizontalAdvance(text) + 8;
        const QRect mark(area.right() - width - 4, area.bottom() - metrics.height() - 6, width,
                         metrics.height() + 2);
        painter.fillRect(mark, ground);
        painter.setPen(ink);
        painter.drawRect(mark.adjusted(0, 0, -1, -1));
        painter.drawText(mark, Qt::AlignCenter, text);
    }

    // A small legend in the corner, so the picture names its series when saved.
    int x = area.left() + 6;
    for (const auto &[series, spans] : shown) {
        const QString name = FromLatin1(m_names.at(static_cast<size_t>(series)));
        const int width = metrics.horizontalAdvance(name) + 22;
        if (x + width > area.right())
            break;
        painter.fillRect(QRect(x, area.top() + 6, 12, 4), SeriesColour(series, ground));
        painter.setPen(ink);
        painter.drawText(QPoint(x + 16, area.top() + 4 + metrics.ascent() / 2 + 2), name);
        x += width;
    }

    if (m_dragFrom >= 0 && m_dragTo >= 0) {
        const int left = std::min(m_dragFrom, m_dragTo), right = std::max(m_dragFrom, m_dragTo);
        painter.fillRect(QRect(left, area.top(), right - left + 1, area.height()), QColor(0, 120, 215, 50));
    }
    painter.restore();
}

QImage TPlotCanvas::Picture() const
{
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    Render(painter, image.rect());
    return image;
}

void TPlotCanvas::paintEvent(QPaintEvent *)
{
    QElapsedTimer clock;
    clock.start();
    QPainter painter(this);
    Render(painter, rect());
    m_lastDrawMs = clock.nsecsElapsed() / 1e6;
}

void TPlotCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !PlotArea(rect()).contains(event->position().toPoint()))
        return;
    m_dragFrom = m_dragTo = event->position().toPoint().x();
}

void TPlotCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragFrom < 0)
        return;
    const QRect area = PlotArea(rect());
    m_dragTo = std::clamp(event->position().toPoint().x(), area.left(), area.right());
    update();
}

void TPlotCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragFrom < 0 || event->button() != Qt::LeftButton)
        return;
    const int from = std::min(m_dragFrom, m_dragTo), to = std::max(m_dragFrom, m_dragTo);
    m_dragFrom = m_dragTo = -1;
    update();
    // A click or a twitch of the hand is no span.
    if (to - from >= 4)
        emit SpanChosen(TimeAt(from), TimeAt(to));
}
