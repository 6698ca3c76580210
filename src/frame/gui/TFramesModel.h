#pragma once
// The frames store as a table. Frames go into the store as they come; the table hears of them in
// batches (as often as the log draws at most; never one per frame, never a reset), so a stream of
// 125,000 frames a second costs the view one insertion per batch. Rows that the store dropped
// from the top go as one removal with the batch; until then they show empty, so a row never
// shows another frame than the one it stood for.
#include "frame/framestore.h"
#include "log/logcolours.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>

class TFramesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum EColumn { Time, GapMs, GapChars, Direction, Length, Hex, Check, Summary, Columns };
    // The hex shown in a cell stops here; copy and save have the whole frame.
    static constexpr size_t kShownBytes = 256;

    explicit TFramesModel(QObject *parent = nullptr);

    void Add(const ST_Frame &frame);
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

signals:
    // After each batch: the frames dropped so far may have changed.
    void Published();

private:
    qint64 BatchMs() const;

    CFrameStore m_store;
    QTimer m_batch;
    QElapsedTimer m_sincePublish;
    int m_streamBatches = 0;     // batches that followed each other at their period
    int m_shown = 0;             // rows the table knows
    uint64_t m_shownDropped = 0; // the store's VisibleDropped() when it last heard
    bool m_charsKnown = false;
    ELogTheme m_theme = ELogTheme::Light;
};
