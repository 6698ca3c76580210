#include "shell/TStatusPanel.h"
#include "shell/TfrmMainUi.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace {

// Where a framed label starts its text.
int Indent(const QFontMetrics &metrics)
{
    return metrics.horizontalAdvance(QLatin1Char('x')) / 2;
}

} // namespace

int TStatusPanel::WidthFor(const QString &text) const
{
    return fontMetrics().horizontalAdvance(text) + 2 * frameWidth() + std::max(2, Indent(fontMetrics()));
}

QString TStatusPanel::Value() const
{
    const QString whole = text();
    const int colon = whole.indexOf(QLatin1String(": "));
    return colon < 0 ? whole : whole.mid(colon + 2);
}

void TStatusPanel::SetCount(const QString &text)
{
    QWidget *bar = parentWidget();
    const bool fixed = minimumSize() == maximumSize();
    if (fixed && bar != nullptr && bar->width() == m_fixedInBar) {
        const int colon = text.indexOf(QLatin1String(": "));
        const QString shown = m_fixedWhole || colon < 0 ? text : text.mid(colon + 2);
        if (WidthFor(shown) <= width()) {
            setText(text);
            return;
        }
    }
    ReleaseSize();
    setText(text);
    QLayout *layout = bar != nullptr ? bar->layout() : nullptr;
    if (layout == nullptr || !isVisible())
        return;
    // The height is the one the bar's row gives, so it is taken once the bar is laid out.
    if (m_fixedInBar < 0)
        bar->installEventFilter(this);
    layout->activate();
    m_fixedWhole = m_keepsStart || width() >= TextWidth();
    const QString room = (m_fixedWhole ? text : Value()) + QStringLiteral("00");
    // The room for more digits is only what the bar has to spare: it never widens the window.
    const int spare = std::max(0, bar->width() - bar->minimumSizeHint().width());
    setFixedSize(std::max(width(), std::min(WidthFor(room), minimumSizeHint().width() + spare)), height());
    m_fixedInBar = bar->width();
}

bool TStatusPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A widget shown beside the panel finds the bar short of room: the panel gives back what it
    // holds beyond its least before the bar is laid out, so the window does not widen.
    if (event->type() == QEvent::LayoutRequest && watched == parentWidget() &&
        minimumSize() == maximumSize() && width() > minimumSizeHint().width() &&
        parentWidget()->minimumSizeHint().width() > parentWidget()->width()) {
        ReleaseSize();
        m_fixedInBar = 0;
        QMetaObject::invokeMethod(
            this, [this] { SetCount(text()); }, Qt::QueuedConnection);
    }
    // A size fixed for a bar of another width may take more room than this one has, or leave a
    // value shown where the whole text now fits: it is made again once the bar is laid out.
    if (event->type() == QEvent::Resize && watched == parentWidget())
        QMetaObject::invokeMethod(
            this,
            [this] {
                QWidget *bar = parentWidget();
                if (bar != nullptr && minimumSize() == maximumSize() && bar->width() != m_fixedInBar)
                    SetCount(text());
            },
            Qt::QueuedConnection);
    return QLabel::eventFilter(watched, event);
}

void TStatusPanel::KeepCountsWhole()
{
    const QString counts = Counts();
    if (minimumWidth() < WidthFor(counts))
        setMinimumWidth(WidthFor(counts));
}

void TStatusPanel::ReleaseSize()
{
    if (minimumSize() != maximumSize())
        return;
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

QSize TStatusPanel::sizeHint() const
{
    QSize hint = QLabel::sizeHint();
    hint.setWidth(std::max(hint.width(), m_preferred));
    if (m_widest > 0)
        hint.setWidth(std::min(hint.width(), std::max(m_widest, minimumWidth())));
    return hint;
}

QSize TStatusPanel::minimumSizeHint() const
{
    QSize hint = QLabel::minimumSizeHint();
    // A bar short of room may cut a note after the counts, or a label before its value.
    const int least = WidthFor(m_keepsStart ? Counts() : Value());
    hint.setWidth(std::min({hint.width(), sizeHint().width(), least}));
    return hint;
}

QString TStatusPanel::Counts() const
{
    return text().section(QLatin1String(kStatusNoteSeparator), 0, 0);
}

int TStatusPanel::Measured(const QString &text) const
{
    if (m_measuredWidth < 0 || text != m_measured) {
        m_measured = text;
        m_measuredWidth = WidthFor(text);
    }
    return m_measuredWidth;
}

int TStatusPanel::TextWidth() const
{
    return Measured(text());
}

void TStatusPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_measuredWidth = -1;
    QLabel::changeEvent(event);
}

void TStatusPanel::paintEvent(QPaintEvent *event)
{
    if (width() >= TextWidth()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(Indent(fontMetrics()), 0, 0, 0);
    const QString shown = m_keepsStart ? fontMetrics().elidedText(text(), Qt::ElideRight, room.width())
                                       : fontMetrics().elidedText(Value(), Qt::ElideMiddle, room.width());
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shown, foregroundRole());
}
