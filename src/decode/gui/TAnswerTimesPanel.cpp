#include "decode/gui/TAnswerTimesPanel.h"

#include "decode/gui/TAnswerHistogram.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidgetItem *Cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QString Number(std::optional<uint32_t> value)
{
    return value ? QString::number(*value) : QString();
}

QString Ms(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 1) : QString();
}

} // namespace

TAnswerTimesPanel::TAnswerTimesPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlAnswerTimes"));
    setAccessibleName(tr("Answer times"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);

    m_table = new QTableWidget(0, Columns, this);
    m_table->setObjectName(QStringLiteral("tblAnswerTimes"));
    m_table->setAccessibleName(tr("Answer times by unit and function"));
    m_table->setHorizontalHeaderLabels({tr("Unit"), tr("Function"), tr("Requests"), tr("Answered"),
                                        tr("Missing"), tr("Exceptions"), tr("Min ms"), tr("Median ms"),
                                        tr("99% ms"), tr("Max ms")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    column->addWidget(m_table, 1);

    m_histogram = new TAnswerHistogram(this);
    column->addWidget(m_histogram);

    auto *buttons = new QHBoxLayout;
    m_reset = new QPushButton(tr("&Reset"), this);
    m_reset->setObjectName(QStringLiteral("btnAnswerTimesReset"));
    m_reset->setAccessibleName(tr("Reset the answer times"));
    m_copy = new QPushButton(tr("Copy as &CSV"), this);
    m_copy->setObjectName(QStringLiteral("btnAnswerTimesCopy"));
    m_copy->setAccessibleName(tr("Copy the answer times as CSV"));
    buttons->addWidget(m_reset);
    buttons->addWidget(m_copy);
    buttons->addStretch(1);
    column->addLayout(buttons);

    connect(m_reset, &QPushButton::clicked, this, &TAnswerTimesPanel::ResetAsked);
    connect(m_copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Csv()); });
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &TAnswerTimesPanel::ShowHistogram);
}

QString TAnswerTimesPanel::Csv() const
{
    return QString::fromStdString(AnswerStatsCsv(m_stats));
}

void TAnswerTimesPanel::SetStats(std::vector<ST_AnswerStats> stats)
{
    std::optional<ST_AnswerKey> chosen;
    const int current = m_table->currentRow();
    if (current >= 0 && static_cast<size_t>(current) < m_stats.size())
        chosen = m_stats[static_cast<size_t>(current)].Key;
    m_stats = std::move(stats);
    const QSignalBlocker quiet(m_table);
    m_table->setRowCount(static_cast<int>(m_stats.size()));
    int select = -1;
    for (size_t i = 0; i < m_stats.size(); ++i) {
        const ST_AnswerStats &s = m_stats[i];
        const int row = static_cast<int>(i);
        const bool timed = s.Timed > 0;
        const QStringList cells = {Number(s.Key.Unit),
                                   Number(s.Key.Function),
                                   QString::number(s.Requests),
                                   QString::number(s.Answered),
                                   QString::number(s.Missing),
                                   QString::number(s.Exceptions),
                                   Ms(timed ? std::optional<double>(s.MinMs) : std::nullopt),
                                   Ms(s.Percentile(0.5)),
                                   Ms(s.Percentile(0.99)),
                                   Ms(timed ? std::optional<double>(s.MaxMs) : std::nullopt)};
        for (int c = 0; c < Columns; ++c) {
            QTableWidgetItem *item = m_table->item(row, c);
            if (!item)
                m_table->setItem(row, c, Cell(cells[c]));
            else if (item->text() != cells[c])
                item->setText(cells[c]);
        }
        if (chosen && s.Key == *chosen)
            select = row;
    }
    if (select >= 0)
        m_table->selectRow(select);
    else
        m_table->clearSelection();
    ShowHistogram();
}

void TAnswerTimesPanel::ShowHistogram()
{
    const QList<QTableWidgetItem *> chosen = m_table->selectedItems();
    const int row = chosen.isEmpty() ? -1 : chosen.front()->row();
    if (row < 0 || static_cast<size_t>(row) >= m_stats.size()) {
        m_histogram->SetCounts({}, 0, 0);
        return;
    }
    const ST_AnswerStats &s = m_stats[static_cast<size_t>(row)];
    m_histogram->SetCounts(s.Histogram(TAnswerHistogram::kBins), s.MinMs, s.MaxMs);
}
