#include "app/StatusPanel.h"

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

void TStatusPanel::paintEvent(QPaintEvent *event)
{
    if (width() >= WidthFor(text())) {
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
