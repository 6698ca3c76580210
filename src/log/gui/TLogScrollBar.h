#pragma once
// A scroll bar for views that grow at their end while they are watched (the log, the console).
// Over a long view the handle moves by less than a pixel per line, and the bar, drawn whole for
// any change, then costs more than the lines themselves (Qt fills its tall parts on a pool of
// threads): it is drawn again only when what it shows has changed.
#include <QElapsedTimer>
#include <QRect>
#include <QScrollBar>
#include <QTimer>

class TLogScrollBar : public QScrollBar
{
public:
    TLogScrollBar(Qt::Orientation orientation, QWidget *parent);

    // While held, changes only wait: a flush moves the range and then the value, and the bar
    // in between (no longer at its end) is never seen. What new lines change is drawn five
    // times a second at most: the handle of a young log shrinks by a pixel every few lines. It
    // is drawn with a frame's lines, in the same drawing; the timer only shows the last change
    // once the lines stop.
    // A view that grows at its end only shrinks the handle, once a second: a young log of long
    // hex lines shrinks it by a pixel at nearly every frame for its first minute.
    void Hold(bool on);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Appearance
    {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Appearance &other) const
        {
            return handle == other.handle && atMinimum == other.atMinimum && atMaximum == other.atMaximum;
        }
        bool operator!=(const Appearance &other) const { return !(*this == other); }
    };
    Appearance Look() const;

    Appearance m_painted{QRect(-1, -1, 0, 0), false, false};
    bool m_held = false;
    QTimer m_settle;
    QElapsedTimer m_sincePaint;
};
