#pragma once
// The traffic log pane. It never forgets a line until cleared, so it keeps the logged blocks
// themselves (direction, time text, bytes, mode) rather than a text document, and renders only the
// lines that are on screen. Rendering a block again always gives the same text because the mode,
// the time text and the symbol table in force when it was written are kept with it. What becomes
// of a logged item is the pipeline's (see log/logpipeline.h); the pane draws what it stored.
#include "data/commdata.h"
#include "data/symboltable.h"
#include "log/framelines.h"
#include "log/gui/TLogGlyphs.h"
#include "log/logcolours.h"
#include "log/logpipeline.h"
#include "log/logrender.h"
#include "log/logstore.h"
#include "platform/gui/TTextSelectMouse.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QMenu;

class TTrafficLog : public QAbstractScrollArea, private ILogStoredSink
{
    Q_OBJECT

public:
    explicit TTrafficLog(QWidget *parent = nullptr);
    ~TTrafficLog() override;

    // Outside 0..3 nothing is written until a valid mode is set again.
    void SetDisplayType(int type);
    int DisplayType() const { return m_pipeline.DisplayType(); }
    void SetShowTime(bool on);
    bool ShowTime() const { return m_pipeline.ShowTime(); }
    // Applies to lines written afterwards only.
    void SetSymbolTable(const CSymbolTable &table);
    // In the text views, each received line (ended by CR, LF or CR LF) gets a log line and a stamp
    // of its own, however the port cut it into blocks; the hex and decimal views keep the blocks.
    void SetSplitLines(bool on);
    bool SplitLines() const { return m_pipeline.SplitLines(); }
    // The text views read bytes as UTF-8 (a character cut between blocks is joined; other bytes
    // show as \xHH) instead of one Latin-1 character per byte. The hex and decimal views, the
    // bytes handed to the observer and the received data are never changed.
    void SetUtf8(bool on);
    bool Utf8() const { return m_pipeline.Utf8(); }
    void SetAnsi(LogAnsi ansi);
    LogAnsi Ansi() const { return m_pipeline.Ansi(); }

    // "Rec  :" line; its stamp is `ageMs` before now (the block waited that long for the view).
    void LogRecData(const CCommData &item, int64_t ageMs = 0);
    // Received bytes are numbered from 0 in the order LogRecData was given them. The log line that
    // holds byte `position` (the line ending there or, with split lines, the line it ends) gets
    // `mark` (see LogMark), the stronger one when it gets several. A mark for a byte that is
    // never shown, the LF of a split CR LF, is dropped.
    void MarkReceived(uint64_t position, uint8_t mark);
    uint64_t ReceivedBytes() const { return m_pipeline.ReceivedBytes(); }
    void LogSendData(const CCommData &item, int64_t ageMs = 0); // "Send :" line
    // The traffic path's blocks, which the log's line per frame (log/framelines.h) may show as
    // frames: a received block, a send, and bytes the frames carry that the log never shows.
    void LogTrafficReceived(const CCommData &item, int64_t ageMs, bool shown = true);
    void LogTrafficSent(const CCommData &item, int64_t ageMs, bool shown);
    // The traffic path's number (ST_Traffic::Seq) of the block the next of those calls (or
    // LogMonitorBlock) hands over: each line keeps the numbers of the blocks its bytes came from.
    void SetTrafficSeq(uint32_t seq) { m_trafficSeq = seq; }
    // The choice and the frames themselves come from TFrameLineCommands.
    CFrameLines &FrameLines() { return m_frameLines; }
    // See CLogPipeline::HoldReceived.
    void HoldReceived(bool on);
    // A "Note :" line of the program's own, written in text mode whatever the display mode.
    void LogNote(const std::string &text);
    // A "Send :" line that says what went out instead of showing it (a whole file), in text mode.
    void LogSendNote(const std::string &text);
    // A block of the two-port monitor: its tag is the direction, and it carries its own stamp
    // whether time is shown or not.
    void LogMonitorData(LogDirection direction, const Bytes &bytes, const std::string &stamp);
    // A block the monitor read, which the log's line per frame may show as frames.
    void LogMonitorBlock(const CFrameLines::ST_MonitorBlock &block);
    void Clear();
    // How often new lines are drawn at most now: a stream whose blocks come together once a frame
    // costs one wake-up a frame. Without `steadyStreams`, as if a steady stream had just begun.
    int FrameMs(bool steadyStreams = true) const;
    // Draws the new lines now when their frame is due within a few milliseconds.
    void FlushIfDue();

    // The log keeps this much logged data (default 256 MiB); older lines go, and a marker line
    // at the top says how many.
    void SetScrollbackBytes(size_t bytes);
    size_t ScrollbackBytes() const { return Lines().ByteLimit(); }
    // Lines the limit took away since the log was last cleared.
    size_t DroppedLines() const { return Lines().DroppedLines(); }
    // The memory the kept lines take, as counted against the scrollback limit.
    size_t MemoryBytes() const { return Lines().MemoryBytes(); }

    // Every displayed line followed by CR LF; throws EFCreateError when the file cannot be written.
    void SaveToFile(const std::string &path) const;
    void CopyToClipboard() const; // the whole log, whatever is selected
    std::string WholeText() const;

    void SetContextMenu(QMenu *menu) { m_contextMenu = menu; }
    QMenu *ContextMenu() const { return m_contextMenu; }

    // Returns the time text put between the parentheses; the default reads the system clock.
    void SetTimeSource(std::function<std::string()> source);
    // The same for a moment `ageMs` before now: a held received line is stamped with the time its
    // last byte came.
    void SetTimeSource(std::function<std::string(int64_t ageMs)> source);

    // Displayed lines: a block whose text holds CR or LF spans several.
    int LineCount() const { return static_cast<int>(Lines().LineCount()); }
    std::string LineText(int line) const;
    std::vector<ST_LogRun> LineRuns(int line) const;

    // Selection in (line, column) positions; the end is exclusive.
    bool HasSelection() const;
    void SetSelection(int startLine, int startColumn, int endLine, int endColumn);
    void SelectAll();
    void ClearSelection();
    std::string SelectedText() const; // lines joined by CR LF
    // The first and last line the selection touches; false without one.
    bool SelectedLines(int &first, int &last) const;
    // The traffic path's numbers of the blocks whose bytes the selected lines show, oldest to
    // newest; false when they show none (only notes, say).
    bool SelectedTraffic(uint32_t &first, uint32_t &last) const;
    void CopySelection() const;

    // Sees every block as it reaches the log. `shown` is false for bytes the log took without a
    // line of their own (an LF that ended a line already shown); for the others the observer may
    // ask for the rendering of the block just stored with NewestRendered().
    using Observer = CLogPipeline::Observer;
    const ST_LogRendered &NewestRendered() const { return m_pipeline.NewestRendered(); }
    using ObserverId = CLogPipeline::ObserverId;
    ObserverId AddObserver(Observer observer) { return m_pipeline.AddObserver(std::move(observer)); }
    void RemoveObserver(ObserverId id) { m_pipeline.RemoveObserver(id); }
    int64_t TellingAgeMs(LogDirection direction) const { return m_pipeline.TellingAgeMs(direction); }
    // Parts of a displayed line to mark, as (column, length); asked for visible lines only.
    using Highlighter = std::function<std::vector<std::pair<size_t, size_t>>(const std::string &line)>;
    void SetHighlighter(Highlighter highlighter);
    // The first of the block's lines, and the block's bytes.
    int FirstLineOfBlock(size_t block) const;
    size_t BlockCount() const { return Lines().BlockCount(); }
    // The block's bytes; valid until the log is cleared.
    const uint8_t *BlockBytes(size_t block, size_t &length) const;
    // The text of a displayed line, without a copy; valid until the next call of a line accessor.
    std::pair<const char *, size_t> LineView(int line) const;
    size_t BlockOfLine(int line) const { return Lines().BlockOfLine(static_cast<size_t>(line)); }
    // Scrolls so that the line is on screen.
    void ShowLine(int line);

    bool IsFollowingEnd() const;
    // Brings the scroll bars and the screen up to the lines logged so far, which otherwise happens
    // at most once a frame: drawing costs far more than storing a line.
    void FlushView();

protected:
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Pos
    {
        int line = 0;
        int column = 0;
    };

    const CLogStore &Lines() const { return m_pipeline.Store(); }
    const ST_LogRendered &RenderedBlock(size_t block) const { return m_pipeline.Rendered(block); }
    // Lines may have gone from the top: the selection and the view follow their text.
    void BlockStored(bool linesDropped, int shift) override;
    // Wakes for the held received line when it is due, and not while none is held.
    void SyncHeldTimer();
    void UpdateScrollBars();
    void UpdateMetrics();
    Pos PosAt(const QPoint &viewportPoint) const;
    // The run of word characters around a column of the line (see IsWordChar).
    std::pair<int, int> WordAt(int line, int column) const;
    int LineHeight() const { return m_lineHeight; }
    int VisibleLineCount() const;
    // Rows of the viewport, the last one perhaps cut off.
    int RowCount() const;
    // What a row showing `line` shows: the line's id, or kBlankRow past the last line.
    uint64_t RowKey(int line) const;
    // Moves what the viewport shows by whole rows (down when positive), on screen and in
    // m_rowKeys; the rows it uncovers are drawn afresh.
    void MoveRows(int rows);
    // Draws the rows whose line is not the one they show; true when that is every row.
    bool UpdateChangedRows();
    void ForgetRows();
    // The page of the colour set the palette asks for.
    void ShowPage();
    ELogTheme m_theme = ELogTheme::Light;

    CLogPipeline m_pipeline;
    CFrameLines m_frameLines{m_pipeline};
    uint32_t m_trafficSeq = 0;
    // Hands one block of the path to `log` in its lane (see CLogPipeline::TrafficArrives).
    template <typename Log> void LogTraffic(size_t lane, Log log);
    QTimer m_heldTimer;
    QTimer m_repaintTimer;
    QElapsedTimer m_sinceFlush;
    bool m_flooded = false; // the last frame had to draw every row
    int m_streamFrames = 0; // frames in a row, each drawn within a frame and a half of the last
    QMenu *m_contextMenu = nullptr;
    Highlighter m_highlighter;

    Pos m_anchor;
    Pos m_cursor;
    TTextSelectMouse *m_mouse = nullptr;

    int m_lineHeight = 1;
    int m_charWidth = 1;
    int m_ascent = 0;
    TLogGlyphs m_glyphs;
    TLogTiles m_tiles;
    // Copies the row's cells onto the page (see TLogTiles); false, nothing copied, when one of them
    // cannot be. `copied` is the span of x the cells cover, which is not cleared.
    bool CopyCells(QImage &page, QPoint pageOffset, const QRect &rowArea, const ST_LogRendered &block,
                   const ST_LogRendered::Span &span, int xOrigin, int y, int firstColumn, int columnsShown,
                   std::pair<int, int> &copied);
    struct Cell
    {
        TLogTiles::Glyph glyph;
        int column = 0;
        uint8_t spills = 0;
        int tile = -1; // none for the blanks at the ends
    };
    std::vector<Cell> m_cells;
    std::vector<int> m_rowTiles;

    // What each row of the viewport shows, so that a flush draws only the rows that changed and
    // moves the rest: a new line costs one row however tall the window is.
    static constexpr uint64_t kUnknownRow = UINT64_MAX;
    static constexpr uint64_t kBlankRow = UINT64_MAX - 1;
    std::vector<uint64_t> m_rowKeys;

    // The rendering of any displayed line, the marker line included.
    const ST_LogRendered &RenderedLine(size_t line, size_t &subLine) const;
    // The same for drawing `columns` columns of it, which may leave out the rest of a long line.
    const ST_LogRendered &PaintedLine(size_t line, size_t &subLine, int columns);
    size_t m_paintedBlock = static_cast<size_t>(-1);
    ST_LogRendered m_painted;
    mutable ST_LogRendered m_marker;
};
