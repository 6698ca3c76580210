#include "frame/gui/TFramesModel.h"

#include "data/datapattern.h"
#include "log/logrender.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <climits>

namespace {

// As often as the log draws its lines: a frame after a quiet while at once, a stream twenty
// batches a second, and one that has flowed for half a second ten. Every batch costs the table
// more than its rows (its header recounts the place of every row it holds), so a stream's
// frames come in few large batches; they are read once it pauses anyway.
constexpr qint64 kBatchMs = 50;
constexpr qint64 kStreamBatchMs = 100;
constexpr int kStreamBatches = 10;

QColor FromCore(uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

} // namespace

TFramesModel::TFramesModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_batch.setSingleShot(true);
    connect(&m_batch, &QTimer::timeout, this, &TFramesModel::Publish);
}

void TFramesModel::Add(const ST_Frame &frame)
{
    m_store.Append(frame);
    if (frame.Gap && frame.GapChars > 0)
        m_charsKnown = true;
    if (!m_batch.isActive()) {
        const qint64 since = m_sincePublish.isValid() ? m_sincePublish.elapsed() : kBatchMs;
        m_batch.start(static_cast<int>(std::max<qint64>(0, BatchMs() - since)));
    }
}

qint64 TFramesModel::BatchMs() const
{
    return m_streamBatches >= kStreamBatches ? kStreamBatchMs : kBatchMs;
}

void TFramesModel::Publish()
{
    m_batch.stop();
    const qint64 period = BatchMs();
    m_streamBatches =
        m_sincePublish.isValid() && m_sincePublish.elapsed() <= period + period / 2 ? m_streamBatches + 1 : 0;
    m_sincePublish.start();
    const uint64_t dropped = m_store.VisibleDropped() - m_shownDropped;
    if (dropped > 0) {
        const int gone = static_cast<int>(std::min<uint64_t>(dropped, static_cast<uint64_t>(m_shown)));
        if (gone > 0) {
            beginRemoveRows(QModelIndex(), 0, gone - 1);
            m_shown -= gone;
            m_shownDropped += static_cast<uint64_t>(gone);
            endRemoveRows();
        }
        m_shownDropped = m_store.VisibleDropped();
    }
    const int visible = static_cast<int>(std::min<size_t>(m_store.Visible(), INT_MAX));
    if (visible > m_shown) {
        beginInsertRows(QModelIndex(), m_shown, visible - 1);
        m_shown = visible;
        endInsertRows();
    }
    emit Published();
}

void TFramesModel::Clear()
{
    beginResetModel();
    m_store.Clear();
    m_shown = 0;
    m_shownDropped = 0;
    endResetModel();
    emit Published();
}

void TFramesModel::SetFilter(const ST_FrameFilter &filter)
{
    m_batch.stop();
    beginResetModel();
    m_store.SetFilter(filter);
    m_shown = static_cast<int>(std::min<size_t>(m_store.Visible(), INT_MAX));
    m_shownDropped = m_store.VisibleDropped();
    endResetModel();
    emit Published();
}

void TFramesModel::SetTheme(ELogTheme theme)
{
    if (theme == m_theme)
        return;
    m_theme = theme;
    if (m_shown > 0)
        emit dataChanged(index(0, 0), index(m_shown - 1, Columns - 1), {Qt::ForegroundRole});
}

std::optional<size_t> TFramesModel::StoreRow(int row) const
{
    // Rows the store dropped since the last batch are still the table's first rows.
    const uint64_t early = m_store.VisibleDropped() - m_shownDropped;
    if (row < 0 || row >= m_shown || static_cast<uint64_t>(row) < early)
        return std::nullopt;
    const size_t n = static_cast<size_t>(row) - static_cast<size_t>(early);
    if (n >= m_store.Visible())
        return std::nullopt;
    return m_store.VisibleRow(n);
}

int TFramesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int TFramesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QString TFramesModel::DirectionText(EFrameDirection direction)
{
    switch (direction) {
    case EFrameDirection::Received:
        return tr("Rx");
    case EFrameDirection::Sent:
        return tr("Tx");
    case EFrameDirection::MonitorAtoB:
        return tr("A→B");
    case EFrameDirection::MonitorBtoA:
        return tr("B→A");
    }
    return QString();
}

QString TFramesModel::CheckText(EFrameCheck check, uint8_t marks)
{
    QStringList words;
    words << (check == EFrameCheck::Ok ? tr("ok") : check == EFrameCheck::Bad ? tr("bad") : tr("none"));
    if (marks & FRAME_TIMED_OUT)
        words << tr("timed out");
    if (marks & FRAME_MAX_LENGTH)
        words << tr("cut at max length");
    if (marks & FRAME_BAD_ENCODING)
        words << tr("bad encoding");
    if (marks & FRAME_SILENCE_FLOOR)
        words << tr("at silence floor");
    if (marks & FRAME_STRAY)
        words << tr("stray");
    return words.join(QStringLiteral(", "));
}

QVariant TFramesModel::data(const QModelIndex &index, int role) const
{
    const std::optional<size_t> row = StoreRow(index.row());
    if (!row || !index.isValid())
        return QVariant();
    if (role == Qt::ForegroundRole) {
        // As the log draws them: what the device sent in the received colour, the rest in the sent one.
        const EFrameDirection dir = m_store.Direction(*row);
        const bool received = dir == EFrameDirection::Received || dir == EFrameDirection::MonitorAtoB;
        return QBrush(FromCore(LogShownColour(m_theme, received ? kColorBlue : kColorRed)));
    }
    if (role == Qt::TextAlignmentRole)
        return index.column() == Hex || index.column() == Direction || index.column() == Check ||
                       index.column() == Summary
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    const ST_Frame frame = m_store.At(*row);
    switch (index.column()) {
    case Time:
        return QString::number(static_cast<double>((frame.Start - m_store.Origin()).count()) / 1000.0, 'f',
                               3);
    case GapMs:
        return frame.Gap ? QString::number(static_cast<double>(frame.Gap->count()) / 1000.0, 'f', 3)
                         : QString();
    case GapChars:
        return frame.Gap && m_charsKnown ? QString::number(frame.GapChars, 'f', 1) : QString();
    case Direction:
        return DirectionText(frame.Direction);
    case Length:
        return static_cast<qulonglong>(frame.Bytes.size());
    case Hex: {
        const size_t shown = role == Qt::ToolTipRole ? std::min<size_t>(frame.Bytes.size(), 4096)
                                                     : std::min(frame.Bytes.size(), kShownBytes);
        QString text = QString::fromStdString(CFrameStore::HexForm(frame.Bytes.data(), shown));
        text += QStringLiteral("  ") +
                QString::fromLatin1(CFrameStore::TextForm(frame.Bytes.data(), shown).c_str());
        if (shown < frame.Bytes.size())
            text += QStringLiteral(" …");
        return text;
    }
    case Check:
        return CheckText(frame.Check, frame.Marks);
    case Summary:
    default:
        return QString();
    }
}

QVariant TFramesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return tr("Time (ms)");
    case GapMs:
        return tr("Gap (ms)");
    case GapChars:
        return tr("Gap (chars)");
    case Direction:
        return tr("Direction");
    case Length:
        return tr("Length");
    case Hex:
        return tr("Bytes");
    case Check:
        return tr("Check");
    case Summary:
        return tr("Summary");
    default:
        return QVariant();
    }
}
