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

protected:
    void paintEvent(QPaintEvent *event) override;
};
