#pragma once
// Where the plot is drawn: the values of the shown series over a span of time, each pixel column
// one stroke from its lowest to its highest value, so the cost of a picture follows its width and
// the points in view, never a stroke per point. A drag across it chooses a span to zoom into.
#include "plot/plotstore.h"

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QImage;
class QPainter;

class TPlotCanvas : public QWidget
{
    Q_OBJECT
public:
    TPlotCanvas(const CPlotStore &store, const std::vector<std::string> &names, QWidget *parent = nullptr);

    // The times shown, from the left edge to the right; labelled in seconds from `originMs`.
    void SetView(int64_t t0, int64_t t1, int64_t originMs);
    int64_t ViewStart() const { return m_t0; }
    int64_t ViewEnd() const { return m_t1; }
    void SetShown(int series, bool shown);
    bool Shown(int series) const;
    // A fixed value range; without one (or with one that is empty) the range follows the values.
    void SetFixedRange(bool fixed, double low, double high);

    // Draws the whole picture into `target`, as on screen.
    void Render(QPainter &painter, const QRect &target) const;
    QImage Picture() const;

    static QColor SeriesColour(int series);
    // The same, made to stand out on `ground`.
    static QColor SeriesColour(int series, const QColor &ground);

    // How long the last picture on screen took to draw.
    double LastDrawMs() const { return m_lastDrawMs; }

signals:
    void SpanChosen(int64_t t0, int64_t t1);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QRect PlotArea(const QRect &target) const;
    int64_t TimeAt(int x) const;

    const CPlotStore &m_store;
    const std::vector<std::string> &m_names;
    std::vector<bool> m_hidden;
    int64_t m_t0 = 0, m_t1 = 10'000, m_origin = 0;
    bool m_fixed = false;
    double m_low = 0, m_high = 100;
    int m_dragFrom = -1, m_dragTo = -1;
    double m_lastDrawMs = 0;
};
