#include "platform/gui/TTextSelectMouse.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringView>
#include <QStyleHints>
#include <algorithm>

namespace {

// A tick moves a line, and a line more for every so many pixels the mouse is beyond the edge, so
// a long log can be crossed without a long wait.
constexpr int kScrollMs = 50;
constexpr int kPixelsPerExtraLine = 24;

int Beyond(int at, int size)
{
    if (at < 0)
        return at;
    if (at >= size)
        return at - size + 1;
    return 0;
}

int Steps(int beyond)
{
    if (beyond == 0)
        return 0;
    const int steps = 1 + std::abs(beyond) / kPixelsPerExtraLine;
    return beyond < 0 ? -steps : steps;
}

} // namespace

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || QStringView(u"_-.,/:~@+%").contains(c);
}

TTextSelectMouse::TTextSelectMouse(QAbstractScrollArea *area, ST_TextSelectHooks hooks)
    : QObject(area), m_area(area), m_viewport(area->viewport()), m_hooks(std::move(hooks))
{
    m_scrollTimer.setInterval(kScrollMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &TTextSelectMouse::ScrollStep);
    m_viewport->installEventFilter(this);
}

void TTextSelectMouse::Cancel()
{
    m_dragging = false;
    m_scrollTimer.stop();
}

bool TTextSelectMouse::eventFilter(QObject *watched, QEvent *event)
{
    // The viewport is compared by the pointer kept, never asked of the area: the area is half
    // destroyed while its viewport still gets its last events.
    if (watched != m_viewport)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        const auto *e = static_cast<const QMouseEvent *>(event);
        if (e->button() != Qt::LeftButton)
            return false;
        if (event->type() == QEvent::MouseButtonPress)
            Press(e);
        else if (event->type() == QEvent::MouseButtonDblClick)
            DoubleClick(e);
        else
            Release(e->position().toPoint());
        return true;
    }
    case QEvent::MouseMove: {
        const auto *e = static_cast<const QMouseEvent *>(event);
        if (!m_dragging)
            return false;
        // A release that went elsewhere (a popup took the mouse) still ends the drag.
        if (!(e->buttons() & Qt::LeftButton)) {
            Cancel();
            return false;
        }
        Move(e->position().toPoint());
        return true;
    }
    case QEvent::Hide:
        Cancel();
        return false;
    default:
        return false;
    }
}

void TTextSelectMouse::Press(const QMouseEvent *e)
{
    const QPoint point = e->position().toPoint();
    const ST_TextPlace place = m_hooks.PlaceAt(point);
    // Qt reports the second click of a double click, not the third: a press soon after a double
    // click and close to it makes the triple.
    const bool triple = m_clicks == 2 &&
                        e->timestamp() - m_doubleClickTime <=
                            static_cast<quint64>(QApplication::styleHints()->mouseDoubleClickInterval()) &&
                        (point - m_doubleClickPoint).manhattanLength() <= QApplication::startDragDistance();
    m_clicks = triple ? 3 : 1;
    m_point = point;
    m_dragging = true;
    if (triple) {
        m_unit = m_hooks.LineAt(place);
        SelectTo(place);
    } else {
        // A Shift+click keeps the selection's start, and so does the drag that follows.
        m_hooks.Select(e->modifiers() & Qt::ShiftModifier ? m_hooks.Anchor() : place, place);
    }
}

void TTextSelectMouse::DoubleClick(const QMouseEvent *e)
{
    const QPoint point = e->position().toPoint();
    m_clicks = 2;
    m_doubleClickTime = e->timestamp();
    m_doubleClickPoint = point;
    m_point = point;
    m_dragging = true;
    const ST_TextPlace place = m_hooks.PlaceAt(point);
    m_unit = m_hooks.WordAt(place);
    SelectTo(place);
}

void TTextSelectMouse::Move(const QPoint &point)
{
    m_point = point;
    if (m_area->viewport()->rect().contains(point))
        m_scrollTimer.stop();
    else if (!m_scrollTimer.isActive())
        m_scrollTimer.start();
    SelectTo(m_hooks.PlaceAt(point));
}

void TTextSelectMouse::ScrollStep()
{
    if (!m_dragging) {
        m_scrollTimer.stop();
        return;
    }
    const QWidget *viewport = m_area->viewport();
    QScrollBar *v = m_area->verticalScrollBar();
    QScrollBar *h = m_area->horizontalScrollBar();
    v->setValue(v->value() + Steps(Beyond(m_point.y(), viewport->height())));
    h->setValue(h->value() + Steps(Beyond(m_point.x(), viewport->width())) * h->singleStep());
    SelectTo(m_hooks.PlaceAt(m_point));
}

void TTextSelectMouse::Release(const QPoint &point)
{
    if (!m_dragging)
        return;
    m_scrollTimer.stop();
    m_dragging = false;
    SelectTo(m_hooks.PlaceAt(point));
    m_hooks.Finished();
}

void TTextSelectMouse::SelectTo(const ST_TextPlace &place)
{
    // A single click's start is the view's anchor, which the view moves with its text when old
    // lines go; a word or a line stays whole whichever way the drag goes.
    if (m_clicks < 2)
        m_hooks.Select(m_hooks.Anchor(), place);
    else if (place < m_unit.first)
        m_hooks.Select(m_unit.second, place);
    else if (m_unit.second < place)
        m_hooks.Select(m_unit.first, place);
    else
        m_hooks.Select(m_unit.first, m_unit.second);
}
