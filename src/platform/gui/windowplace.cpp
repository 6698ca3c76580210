#include "platform/gui/windowplace.h"

#include <algorithm>

namespace {

// The left (or top) of a span of `length` at `at`, moved back within [low, high).
int Within(int at, int length, int low, int high)
{
    return std::max(low, std::min(at, high - length));
}

} // namespace

QRect CascadeFrame(const QRect &previous, QSize size, const QRect &area, int step,
                   const std::vector<QPoint> &taken)
{
    if (area.isEmpty())
        return QRect(previous.topLeft() + QPoint(step, step), size);
    size = size.boundedTo(area.size() - QSize(step, step)).expandedTo(QSize(1, 1));
    QPoint at = previous.topLeft();
    // The steps come round to a place already seen after a few turns; past them any place does.
    for (int tries = 0; tries < 64; ++tries) {
        at += QPoint(step, step);
        if (at.x() < area.left() || at.x() + size.width() > area.left() + area.width())
            at.setX(area.left());
        if (at.y() < area.top() || at.y() + size.height() > area.top() + area.height())
            at.setY(area.top());
        if (std::find(taken.begin(), taken.end(), at) == taken.end())
            break;
    }
    return QRect(at, size);
}

QRect FrameBeside(const QRect &owner, QSize size, const QRect &area)
{
    if (area.isEmpty())
        return QRect(owner.topLeft() + QPoint(owner.width(), 0), size);
    size = size.boundedTo(area.size());
    const int areaRight = area.left() + area.width(), ownerRight = owner.left() + owner.width();
    const int top = Within(owner.top(), size.height(), area.top(), area.top() + area.height());
    int left = 0;
    if (ownerRight + size.width() <= areaRight && ownerRight >= area.left())
        left = ownerRight;
    else if (owner.left() - size.width() >= area.left() && owner.left() <= areaRight)
        left = owner.left() - size.width();
    else
        left = areaRight - ownerRight >= owner.left() - area.left() ? areaRight - size.width() : area.left();
    return QRect(QPoint(Within(left, size.width(), area.left(), areaRight), top), size);
}
