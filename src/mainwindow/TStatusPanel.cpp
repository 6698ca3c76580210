#include "mainwindow/TStatusPanel.h"

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
    const bool fixed = minimumSize() == maximumSize();
    if (fixed && Measured(text) <= width()) {
        setText(text);
        return;
    }
    ReleaseSize();
    setText(text);
    QLayout *layout = parentWidget() != nullptr ? parentWidget()->layout() : nullptr;
    if (layout == nullptr || !isVisible())
        return;
    // The height is the one the bar's row gives, so it is taken once the bar is laid out.
    layout->activate();
    setFixedSize(std::max(width(), WidthFor(text + QStringLiteral("00"))), height());
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
    hint.setWidth(std::min(hint.width(), sizeHint().width()));
    return hint;
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
