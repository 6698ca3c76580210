#pragma once
// The frames store as a table. Frames go into the store as they come; the table hears of them in
// batches (as often as the log draws at most; never one per frame, never a reset), so a stream of
// 125,000 frames a second costs the view one insertion per batch. Rows that the store dropped
// from the top go as one removal with the batch; until then they show empty, so a row never
// shows another frame than the one it stood for.
//
// The Summary column is read out only for the rows drawn, through the decoding (a few hundred of
// them kept, so a repaint reads none again); what pairing said of a frame as it came (an answer's
// time, a request with no answer) is kept in the store beside it.
#include "frame/framestore.h"
#include "log/logcolours.h"
#include "session/sessiondecoding.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>
#include <deque>
#include <functional>
#include <unordered_map>

class TFramesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum EColumn { Time, GapMs, GapChars, Direction, Length, Hex, Check, Summary, Columns };
    // The hex shown in a cell stops here; copy and save have the whole frame.
    static constexpr size_t kShownBytes = 256;

    explicit TFramesModel(QObject *parent = nullptr);

    void Add(const ST_Frame &frame);
    // A frame with what the decoding knew of it as it passed.
    void Add(const ST_Frame &frame, const ST_FrameReading &reading);
    // Requests the clock ended with no answer.
    void Settle(const std::vector<ST_AnswerEvent> &events);
    // The full reading of a frame (the answer's request when it is still kept); null: summaries
    // stay empty. A new one reads the rows again.
    using Decode = std::function<ST_Decoded(const ST_Frame &frame, const ST_Frame *request)>;
    void SetDecode(Decode decode);
    // Tells the table what came since the last batch.
    void Publish();
    void Clear();
    void SetFilter(const ST_FrameFilter &filter);
    void SetByteLimit(size_t bytes) { m_store.SetByteLimit(bytes); }
    void SetTheme(ELogTheme theme);

    const CFrameStore &Store() const { return m_store; }
    // The store's row of a table row; none for a row the store dropped already.
    std::optional<size_t> StoreRow(int row) const;
    // Whether any frame's gap was counted in characters (the baud rate was known).
    bool CharsKnown() const { return m_charsKnown; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString DirectionText(EFrameDirection direction);
    static QString CheckText(EFrameCheck check, uint8_t marks);
    // What pairing said of a frame, as its summary ends ("12.3 ms", "no answer").
    static QString PairingText(const ST_FramePairing &pairing);

signals:
    // After each batch: the frames dropped so far may have changed.
    void Published();

private:
    // The requests kept last, found by their place when their answer (or its absence) is told:
    // only the one waiting and the one just ended can be, so a few are plenty.
    struct ST_Asked
    {
        bool Monitor;
        uint64_t Place;
        uint64_t Id;
    };
    static constexpr size_t kAskedKept = 16;
    static constexpr size_t kSummariesKept = 512;
    std::optional<uint64_t> AskedId(std::optional<bool> monitor, uint64_t place) const;
    void Note(bool monitor, const ST_AnswerEvent &event, uint64_t id, uint64_t place);
    void Mark(uint64_t requestId);
    QString SummaryOf(size_t row, const ST_Frame &frame) const;
    void SummariesChanged();
    qint64 BatchMs() const;

    CFrameStore m_store;
    Decode m_decode;
    std::deque<ST_Asked> m_asked;
    std::optional<uint64_t> m_lastPlace[2]; // the window's, the monitor's
    mutable std::unordered_map<uint64_t, QString> m_summaries;
    QTimer m_batch;
    QElapsedTimer m_sincePublish;
    int m_streamBatches = 0;     // batches that followed each other at their period
    int m_shown = 0;             // rows the table knows
    uint64_t m_shownDropped = 0; // the store's VisibleDropped() when it last heard
    bool m_charsKnown = false;
    ELogTheme m_theme = ELogTheme::Light;
};
