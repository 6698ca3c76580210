#include "frame/gui/TFramesModel.h"

#include "data/datapattern.h"
#include "log/logrender.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <climits>
#include <exception>

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

void TFramesModel::Add(const ST_Frame &frame, const ST_FrameReading &reading)
{
    const bool monitor =
        frame.Direction == EFrameDirection::MonitorAtoB || frame.Direction == EFrameDirection::MonitorBtoA;
    std::optional<uint64_t> &last = m_lastPlace[monitor ? 1 : 0];
    if (last && reading.Place <= *last) {
        // A new decoder counts from 0 again: the places kept are another's.
        m_asked.erase(std::remove_if(m_asked.begin(), m_asked.end(),
                                     [monitor](const ST_Asked &a) { return a.Monitor == monitor; }),
                      m_asked.end());
    }
    last = reading.Place;
    Add(frame);
    const uint64_t id = m_store.LastId();
    if (reading.Asks) {
        m_asked.push_back({monitor, reading.Place, id});
        if (m_asked.size() > kAskedKept)
            m_asked.pop_front();
    }
    for (const ST_AnswerEvent &event : reading.Settled)
        Note(monitor, event, id, reading.Place);
}

void TFramesModel::Settle(const std::vector<ST_AnswerEvent> &events)
{
    for (const ST_AnswerEvent &event : events)
        if (event.Outcome == EAnswerOutcome::NoAnswer)
            if (const std::optional<uint64_t> id = AskedId(std::nullopt, event.Request))
                Mark(*id);
}

std::optional<uint64_t> TFramesModel::AskedId(std::optional<bool> monitor, uint64_t place) const
{
    for (auto it = m_asked.rbegin(); it != m_asked.rend(); ++it)
        if (it->Place == place && (!monitor || it->Monitor == *monitor))
            return it->Id;
    return std::nullopt;
}

void TFramesModel::Note(bool monitor, const ST_AnswerEvent &event, uint64_t id, uint64_t place)
{
    if (event.Outcome == EAnswerOutcome::NoAnswer) {
        if (const std::optional<uint64_t> request = AskedId(monitor, event.Request))
            Mark(*request);
        return;
    }
    if (!event.Answer || *event.Answer != place)
        return;
    ST_FramePairing pairing;
    if (event.Outcome != EAnswerOutcome::Unasked)
        pairing.Request = AskedId(monitor, event.Request).value_or(ST_FramePairing::kNoRequest);
    if (event.ToFirstMs)
        pairing.AnswerMs = static_cast<float>(*event.ToFirstMs);
    pairing.Outcome = static_cast<uint8_t>(1 + static_cast<int>(event.Outcome));
    m_store.SetPairing(id, pairing);
}

void TFramesModel::Mark(uint64_t requestId)
{
    ST_FramePairing pairing;
    pairing.Outcome = static_cast<uint8_t>(1 + static_cast<int>(EAnswerOutcome::NoAnswer));
    m_store.SetPairing(requestId, pairing);
    m_summaries.erase(requestId);
    // Its row may be anywhere under a filter; the table asks again only for the rows it shows.
    if (m_shown > 0)
        emit dataChanged(index(0, Summary), index(m_shown - 1, Summary), {Qt::DisplayRole});
}

void TFramesModel::SetDecode(Decode decode)
{
    m_decode = std::move(decode);
    SummariesChanged();
}

void TFramesModel::SummariesChanged()
{
    m_summaries.clear();
    if (m_shown > 0)
        emit dataChanged(index(0, Summary), index(m_shown - 1, Summary), {Qt::DisplayRole});
}

QString TFramesModel::PairingText(const ST_FramePairing &pairing)
{
    const QString ms = QString::number(static_cast<double>(pairing.AnswerMs), 'f', 1);
    if (pairing.Outcome == 0)
        return QString();
    switch (static_cast<EAnswerOutcome>(pairing.Outcome - 1)) {
    case EAnswerOutcome::Answered:
    case EAnswerOutcome::Exception:
        return tr("%1 ms").arg(ms);
    case EAnswerOutcome::NoAnswer:
        return tr("no answer");
    case EAnswerOutcome::WrongUnit:
        return tr("from the wrong unit");
    case EAnswerOutcome::WrongFunction:
        return tr("to the wrong function");
    case EAnswerOutcome::Late:
        return tr("late: %1 ms").arg(ms);
    case EAnswerOutcome::Unasked:
        return tr("unasked");
    }
    return QString();
}

QString TFramesModel::SummaryOf(size_t row, const ST_Frame &frame) const
{
    const uint64_t id = m_store.IdOf(row);
    if (const auto hit = m_summaries.find(id); hit != m_summaries.end())
        return hit->second;
    const ST_FramePairing pairing = m_store.Pairing(row);
    QString text;
    if (m_decode) {
        std::optional<ST_Frame> request;
        if (pairing.Request != ST_FramePairing::kNoRequest)
            if (const std::optional<size_t> at = m_store.RowOfId(pairing.Request))
                request = m_store.At(*at);
        try {
            text = QString::fromStdString(m_decode(frame, request ? &*request : nullptr).Summary);
        } catch (const std::exception &e) {
            // A decoder's fault is this frame's, never the view's.
            text = tr("decoder error: %1").arg(QString::fromStdString(e.what()));
        }
    }
    const QString said = PairingText(pairing);
    if (!said.isEmpty())
        text = text.isEmpty() ? said : text + QStringLiteral(" · ") + said;
    if (m_summaries.size() >= kSummariesKept)
        m_summaries.clear();
    m_summaries.emplace(id, text);
    return text;
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
    m_asked.clear();
    m_summaries.clear();
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
        return SummaryOf(*row, frame);
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
