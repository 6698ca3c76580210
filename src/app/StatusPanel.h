#pragma once
// A status bar panel that, while the bar is too narrow for its whole text, shows the value after
// its label ("9600" of "Baud Rate: 9600"), cut short in the middle when even that does not fit.
// Its text, which is what a screen reader says, stays whole.
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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_preferred = 0;
};
