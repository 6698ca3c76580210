#include "log/gui/TLogScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace {

constexpr qint64 kSettleMs = 200;
constexpr qint64 kGrowthSettleMs = 1000;
// The slack after a settle, so that the last change is drawn with a frame rather than apart.
constexpr qint64 kFrameSlackMs = 75;

} // namespace

TLogScrollBar::TLogScrollBar(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent)
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (Look() != m_painted)
            update();
    });
}

void TLogScrollBar::Hold(bool on)
{
    m_held = on;
    if (on)
        return;
    const Appearance look = Look();
    if (look == m_painted)
        return;
    const bool grownOnly =
        look.atMaximum && m_painted.atMaximum && look.handle.bottomRight() == m_painted.handle.bottomRight();
    const qint64 settle = grownOnly ? kGrowthSettleMs : kSettleMs;
    const qint64 since = m_sincePaint.isValid() ? m_sincePaint.elapsed() : settle;
    if (since >= settle) {
        m_settle.stop();
        update();
    } else if (!m_settle.isActive()) {
        m_settle.start(static_cast<int>(settle - since + kFrameSlackMs));
    }
}

void TLogScrollBar::sliderChange(SliderChange change)
{
    if (change != SliderOrientationChange && (m_held || Look() == m_painted))
        return;
    QScrollBar::sliderChange(change);
}

void TLogScrollBar::paintEvent(QPaintEvent *event)
{
    m_painted = Look();
    m_sincePaint.start();
    QScrollBar::paintEvent(event);
}

TLogScrollBar::Appearance TLogScrollBar::Look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
}
