#include "decode/gui/TAnswerHistogram.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <climits>

TAnswerHistogram::TAnswerHistogram(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("wdgAnswerHistogram"));
    setAccessibleName(tr("Answer time histogram"));
    setMinimumHeight(60);
    SetCounts({}, 0, 0);
}

QSize TAnswerHistogram::sizeHint() const
{
    return {240, 90};
}

void TAnswerHistogram::SetCounts(std::vector<uint64_t> counts, double minMs, double maxMs)
{
    m_counts = std::move(counts);
    m_minMs = minMs;
    m_maxMs = maxMs;
    QString text;
    uint64_t total = 0;
    for (const uint64_t c : m_counts)
        total += c;
    if (total == 0) {
        text = tr("No answer times.");
    } else {
        const auto ms = [](double v) { return QString::number(v, 'f', 1); };
        text = tr("%n answer(s) from %1 to %2 ms:", nullptr,
                  static_cast<int>(std::min<uint64_t>(total, INT_MAX)))
                   .arg(ms(minMs), ms(maxMs));
        const double step = (maxMs - minMs) / static_cast<double>(m_counts.size());
        for (size_t i = 0; i < m_counts.size(); ++i)
            if (m_counts[i] > 0)
                text += QLatin1Char(' ') +
                        tr("%1 from %2 ms;").arg(m_counts[i]).arg(ms(minMs + step * static_cast<double>(i)));
    }
    setAccessibleDescription(text);
    setToolTip(text);
    update();
}

void TAnswerHistogram::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = rect().adjusted(2, 2, -2, -2);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const uint64_t most = m_counts.empty() ? 0 : *std::max_element(m_counts.begin(), m_counts.end());
    if (most == 0 || area.width() <= 0)
        return;
    const QColor bar = palette().color(QPalette::Highlight);
    const double width = static_cast<double>(area.width()) / static_cast<double>(m_counts.size());
    for (size_t i = 0; i < m_counts.size(); ++i) {
        if (m_counts[i] == 0)
            continue;
        // A bin with any count stays visible beside the tallest.
        const int height =
            std::max(1, static_cast<int>(static_cast<double>(area.height()) *
                                         static_cast<double>(m_counts[i]) / static_cast<double>(most)));
        const int left = area.left() + static_cast<int>(width * static_cast<double>(i));
        const int right = area.left() + static_cast<int>(width * static_cast<double>(i + 1)) - 1;
        painter.fillRect(QRect(left, area.bottom() - height + 1, std::max(1, right - left), height), bar);
    }
}
