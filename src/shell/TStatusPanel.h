#pragma once
// A status bar panel that, while the bar is too narrow for its whole text, shows the value after
// its label ("9600" of "Baud Rate: 9600"), cut short in the middle when even that does not fit.
// Its text, which is what a screen reader says, stays whole. A counter's panel keeps the start of
// its text instead, so the counts stay in sight while a note after them is cut.
#include <QLabel>

class TStatusPanel : public QLabel
{
public:
    using QLabel::QLabel;

    // The panel's width with `text` shown whole.
    int WidthFor(const QString &text) const;
    // The text after the label: what is shown while the whole text does not fit.
    QString Value() const;
    // The width the panel takes while the bar has room; it may be narrowed down to its minimum.
    void SetPreferredWidth(int width)
    {
        m_preferred = width;
        updateGeometry();
    }
    QSize sizeHint() const override;
    // Never more than the hint: a label's own minimum is its whole text.
    QSize minimumSizeHint() const override;
    void SetKeepsStart(bool keeps) { m_keepsStart = keeps; }
    // A count that ticks while data flows. A label whose text changes asks the status bar to lay
    // itself out again, and the bar then repaints every panel in it, five times a second. A
    // panel of a fixed size does not ask: so a shown counter keeps one, with room for a few more
    // digits, and only outgrowing that room, or a bar of another width, lays the bar out again.
    // A bar short of room fixes a panel that shows its value at the value's width.
    void SetCount(const QString &text);
    // For a panel whose counts change less often than a frame, and may have a note after them:
    // the panel is never narrowed past its counts.
    void KeepCountsWhole();
    // Gives a counter's size back to the layout.
    void ReleaseSize();
    // The most the panel asks for, however long its text (0: its whole text).
    void SetWidest(int width)
    {
        if (width == m_widest)
            return;
        m_widest = width;
        updateGeometry();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The width of the present text; measuring shapes it, and a counter is painted at each count.
    int TextWidth() const;
    int Measured(const QString &text) const;
    QString Counts() const;

    mutable QString m_measured;
    mutable int m_measuredWidth = -1; // -1: not measured in the present font
    int m_preferred = 0;
    bool m_keepsStart = false;
    int m_widest = 0;
    // What a counter's fixed size was made for: the bar's width, and whether it shows the whole text.
    int m_fixedInBar = -1; // -1: the bar is not watched yet
    bool m_fixedWhole = true;
};
