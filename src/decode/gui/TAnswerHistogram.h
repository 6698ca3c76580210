#pragma once
// The answer times of one unit and function as bars over equal parts of [min, max], drawn small
// beside the statistics table. A screen reader gets the same counts as text (its description).
#include <QWidget>
#include <cstdint>
#include <vector>

class TAnswerHistogram : public QWidget
{
    Q_OBJECT
public:
    static constexpr size_t kBins = 20;

    explicit TAnswerHistogram(QWidget *parent = nullptr);

    // No counts: nothing to draw (no row chosen, or no answer timed).
    void SetCounts(std::vector<uint64_t> counts, double minMs, double maxMs);
    const std::vector<uint64_t> &Counts() const { return m_counts; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<uint64_t> m_counts;
    double m_minMs = 0;
    double m_maxMs = 0;
};
