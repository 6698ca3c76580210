#pragma once
// How the mouse selects text in the views that draw their own lines (the log, the console), so
// that they behave alike: a click sets the selection's start, Shift+click moves its end, a double
// click takes a word, a triple click the line, and dragging past an edge scrolls for as long as the
// button is held there, whether the mouse moves or not. The view keeps its selection and its text;
// this only turns mouse events on the view's viewport into places and asks the view to select.
#include <QObject>
#include <QPoint>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <utility>

class QAbstractScrollArea;
class QChar;
class QMouseEvent;

// A place in a view's text: lines as the view counts them, columns as its selection counts them.
struct ST_TextPlace
{
    int64_t Line = 0;
    int Col = 0;
    bool operator<(const ST_TextPlace &o) const { return Line < o.Line || (Line == o.Line && Col < o.Col); }
    bool operator==(const ST_TextPlace &o) const { return Line == o.Line && Col == o.Col; }
};
using TTextSpan = std::pair<ST_TextPlace, ST_TextPlace>; // [first, end)

// What a double click takes as one word: besides letters and digits, the characters of paths,
// addresses and numbers.
bool IsWordChar(QChar c);

struct ST_TextSelectHooks
{
    // The place under a viewport point; a point beyond an edge gives the nearest place.
    std::function<ST_TextPlace(const QPoint &viewportPoint)> PlaceAt;
    // Where Shift+click extends from.
    std::function<ST_TextPlace()> Anchor;
    std::function<void(const ST_TextPlace &anchor, const ST_TextPlace &end)> Select;
    // The word, or the whole line, around a place.
    std::function<TTextSpan(const ST_TextPlace &at)> WordAt;
    std::function<TTextSpan(const ST_TextPlace &at)> LineAt;
    // The button was let go after selecting (for the X11 primary selection).
    std::function<void()> Finished;
};

class TTextSelectMouse : public QObject
{
    Q_OBJECT

public:
    // Watches `area`'s viewport; the left button's events there are its own from then on.
    TTextSelectMouse(QAbstractScrollArea *area, ST_TextSelectHooks hooks);

    bool Dragging() const { return m_dragging; }
    // Ends a drag without a release, as when the view's text is cleared under it.
    void Cancel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Press(const QMouseEvent *e);
    void DoubleClick(const QMouseEvent *e);
    void Move(const QPoint &point);
    void Release(const QPoint &point);
    void ScrollStep();
    // The selection from where the drag began (the anchor, a word, a line) to `place`.
    void SelectTo(const ST_TextPlace &place);

    QAbstractScrollArea *m_area;
    QObject *m_viewport;
    ST_TextSelectHooks m_hooks;
    QTimer m_scrollTimer;
    QPoint m_point;
    bool m_dragging = false;
    TTextSpan m_unit;
    int m_clicks = 0;
    quint64 m_doubleClickTime = 0;
    QPoint m_doubleClickPoint;
};
