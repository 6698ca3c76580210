#pragma once
// The answer times panel: per unit and function (a user's layout: per request id) how many
// requests went, how many were answered, missed and answered with an exception, and the answer
// time's minimum, median, 99th percentile and maximum; the histogram of the row chosen; Reset and
// Copy as CSV (the header and lines a headless run's statistics file has).
#include "decode/answertimer.h"

#include <QWidget>
#include <optional>
#include <vector>

class QPushButton;
class QTableWidget;
class TAnswerHistogram;

class TAnswerTimesPanel : public QWidget
{
    Q_OBJECT
public:
    enum EColumn {
        Unit,
        Function,
        Requests,
        Answered,
        Missing,
        Exceptions,
        MinMs,
        MedianMs,
        P99Ms,
        MaxMs,
        Columns
    };

    explicit TAnswerTimesPanel(QWidget *parent = nullptr);

    // The figures as they stand now; the row chosen stays chosen.
    void SetStats(std::vector<ST_AnswerStats> stats);
    QString Csv() const;

signals:
    void ResetAsked();

private:
    void ShowHistogram();

    std::vector<ST_AnswerStats> m_stats;
    QTableWidget *m_table;
    TAnswerHistogram *m_histogram;
    QPushButton *m_reset;
    QPushButton *m_copy;
};
