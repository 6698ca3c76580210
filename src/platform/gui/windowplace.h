#pragma once
// Where a new top-level window goes: frames are outer rectangles, title bar included, in the
// coordinates of the screens, and `area` is the room a screen leaves for windows.
#include <QPoint>
#include <QRect>
#include <vector>

// A step of `step` down and to the right of `previous`, so that its title bar shows. A step that
// would leave `area` on one side goes back to that edge; a place where a frame of `taken` already
// begins is stepped past. A frame too large to be stepped at all within the area is made smaller.
QRect CascadeFrame(const QRect &previous, QSize size, const QRect &area, int step,
                   const std::vector<QPoint> &taken);

// Beside `owner`, top edges level: right of it when there is room, else left of it, else over it
// against the edge of the area on the side with more room. Always within `area`.
QRect FrameBeside(const QRect &owner, QSize size, const QRect &area);
