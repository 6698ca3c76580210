#include "log/gui/TTrafficLog.h"
#include "log/gui/TLogScrollBar.h"

#include "log/gui/logtime.h"
#include "log/logcolours.h"
#include "platform/gui/TAppTheme.h"
#include "platform/gui/fixedfont.h"
#include "platform/textfile.h"

#include <QBackingStore>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kMargin = 3;
// How often new lines are drawn at most: twenty frames a second scroll a log smoothly enough to
// read, and every frame costs a round of drawing and of handing the picture to the display (a
// stream faster than a view can show redraws the whole view each frame).
constexpr qint64 kFrameMs = 50;
// A stream that brings more lines in a frame than the view holds can only be read once paused;
// while it replaces the whole view at every frame, ten frames a second show it flowing. So do
// frames that have followed each other for half a second: a logger fed all day pays for each
// frame it draws, and lines that come this fast are read once the stream pauses too. A line
// after a pause, an echo of typed keys, is still drawn at once.
constexpr qint64 kFloodFrameMs = 100;
constexpr int kSteadyFrames = 10;
QColor ToQColor(uint32_t color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// For characters the glyph table cannot draw; control characters still show as blanks.
QString DisplayString(const std::string &text, size_t from, size_t length)
{
    QString out = QString::fromLatin1(text.data() + from, static_cast<qsizetype>(length));
    for (QChar &c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return out;
}

QString ToQString(const std::string &text, bool utf8)
{
    const auto size = static_cast<qsizetype>(text.size());
    return utf8 ? QString::fromUtf8(text.data(), size) : QString::fromLatin1(text.data(), size);
}

void CopyText(const std::string &text, bool utf8)
{
    QGuiApplication::clipboard()->setText(ToQString(text, utf8));
}

// Draws UTF-8 text a character per cell, as the 8-bit text is drawn.
void DrawUtf8(QPainter &painter, int x, int baseline, const char *text, size_t length, int cell)
{
    const QString shown = QString::fromUtf8(text, static_cast<qsizetype>(length));
    for (const char32_t c : shown.toUcs4()) {
        if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0))
            painter.drawText(x, baseline, QString::fromUcs4(&c, 1));
        x += cell;
    }
}

// A UTF-8 line takes a column per character.
int Utf8Column(const char *text, size_t bytes)
{
    int column = 0;
    for (size_t i = 0; i < bytes; ++i)
        column += (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80;
    return column;
}

size_t Utf8Offset(const char *text, size_t length, int column)
{
    size_t i = 0;
    for (; i < length && column > 0; --column)
        for (++i; i < length && (static_cast<uint8_t>(text[i]) & 0xC0) == 0x80;)
            ++i;
    return i;
}

} // namespace

TTrafficLog::TTrafficLog(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("edData"));
    setFont(FixedWidthFont());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBar(new TLogScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new TLogScrollBar(Qt::Horizontal, this));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    // The line colours come in sets made for their page, so the page is the set's, not the
    // palette's Base; the palette only says whether the light or the dark set is wanted.
    m_theme = LogThemeOf(*this);
    ShowPage();
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_pipeline.SetTimeSource(LogTimeText);
    m_pipeline.SetStoredSink(this);
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repaintTimer, &QTimer::timeout, this, &TTrafficLog::FlushView);
    const auto place = [](const Pos &p) { return ST_TextPlace{p.line, p.column}; };
    ST_TextSelectHooks hooks;
    hooks.PlaceAt = [this, place](const QPoint &point) { return place(PosAt(point)); };
    hooks.Anchor = [this, place] { return place(m_anchor); };
    hooks.Select = [this](const ST_TextPlace &anchor, const ST_TextPlace &end) {
        m_anchor = Pos{static_cast<int>(anchor.Line), anchor.Col};
        m_cursor = Pos{static_cast<int>(end.Line), end.Col};
        viewport()->update();
    };
    hooks.WordAt = [this](const ST_TextPlace &at) {
        const auto [first, end] = WordAt(static_cast<int>(at.Line), at.Col);
        return TTextSpan{{at.Line, first}, {at.Line, end}};
    };
    hooks.LineAt = [this](const ST_TextPlace &at) {
        const int line = static_cast<int>(at.Line);
        const int length = line < LineCount() ? static_cast<int>(LineText(line).size()) : 0;
        return TTextSpan{{at.Line, 0}, {at.Line, length}};
    };
    hooks.Finished = [this] {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && HasSelection())
            clipboard->setText(ToQString(SelectedText(), m_pipeline.Utf8()), QClipboard::Selection);
    };
    m_mouse = new TTextSelectMouse(this, std::move(hooks));
    // Precise, so that it never wakes before the line is due.
    m_heldTimer.setSingleShot(true);
    m_heldTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_heldTimer, &QTimer::timeout, this, [this] {
        m_pipeline.FlushHeld();
        SyncHeldTimer();
    });
    UpdateMetrics();
    UpdateScrollBars();
}

TTrafficLog::~TTrafficLog() = default;

void TTrafficLog::SyncHeldTimer()
{
    const int64_t due = m_pipeline.HeldDueInMs();
    if (due < 0)
        m_heldTimer.stop();
    else
        m_heldTimer.start(static_cast<int>(due));
}

void TTrafficLog::SetDisplayType(int type)
{
    m_pipeline.SetDisplayType(type);
    SyncHeldTimer();
}

void TTrafficLog::SetSplitLines(bool on)
{
    m_pipeline.SetSplitLines(on);
    SyncHeldTimer();
}

void TTrafficLog::SetUtf8(bool on)
{
    m_pipeline.SetUtf8(on);
    SyncHeldTimer();
}

void TTrafficLog::SetAnsi(LogAnsi ansi)
{
    m_pipeline.SetAnsi(ansi);
    SyncHeldTimer();
}

void TTrafficLog::SetShowTime(bool on)
{
    m_pipeline.SetShowTime(on);
}

void TTrafficLog::SetSymbolTable(const CSymbolTable &table)
{
    m_pipeline.SetSymbolTable(table);
}

void TTrafficLog::SetTimeSource(std::function<std::string()> source)
{
    if (source)
        m_pipeline.SetTimeSource([source = std::move(source)](int64_t) { return source(); });
    else
        m_pipeline.SetTimeSource(LogTimeText);
}

void TTrafficLog::SetTimeSource(std::function<std::string(int64_t ageMs)> source)
{
    m_pipeline.SetTimeSource(source ? std::move(source) : std::function<std::string(int64_t)>(LogTimeText));
}

void TTrafficLog::MarkReceived(uint64_t position, uint8_t mark)
{
    m_pipeline.MarkReceived(position, mark);
}

void TTrafficLog::LogRecData(const CCommData &item, int64_t ageMs)
{
    m_pipeline.LogRecData(item, ageMs);
    SyncHeldTimer();
}

void TTrafficLog::LogSendData(const CCommData &item, int64_t ageMs)
{
    m_pipeline.LogSendData(item, ageMs);
    SyncHeldTimer();
}

template <typename Log> void TTrafficLog::LogTraffic(size_t lane, Log log)
{
    m_pipeline.TrafficArrives(lane, m_trafficSeq);
    log();
    m_pipeline.TrafficTaken(lane, m_frameLines.Waiting(lane));
    SyncHeldTimer();
}

void TTrafficLog::LogTrafficReceived(const CCommData &item, int64_t ageMs, bool shown)
{
    LogTraffic(0, [&] { m_frameLines.Received(item, ageMs, shown); });
}

void TTrafficLog::LogTrafficSent(const CCommData &item, int64_t ageMs, bool shown)
{
    LogTraffic(1, [&] { m_frameLines.Sent(item, ageMs, shown); });
}

void TTrafficLog::HoldReceived(bool on)
{
    m_pipeline.HoldReceived(on);
    SyncHeldTimer();
}

void TTrafficLog::LogNote(const std::string &text)
{
    // What waited for a framing that ended (a monitor stopped) stands before the note.
    m_frameLines.Follow();
    m_pipeline.LogNote(text);
    SyncHeldTimer();
}

void TTrafficLog::LogSendNote(const std::string &text)
{
    m_pipeline.LogSendNote(text);
    SyncHeldTimer();
}

void TTrafficLog::LogMonitorData(LogDirection direction, const Bytes &bytes, const std::string &stamp)
{
    m_pipeline.LogMonitorData(direction, bytes, stamp);
    SyncHeldTimer();
}

void TTrafficLog::LogMonitorBlock(const CFrameLines::ST_MonitorBlock &block)
{
    LogTraffic(2 + static_cast<size_t>(block.Side & 1), [&] { m_frameLines.Monitor(block); });
}

void TTrafficLog::BlockStored(bool linesDropped, int shift)
{
    if (linesDropped) {
        // What the user selected or looks at moves up with its text.
        for (Pos *pos : {&m_anchor, &m_cursor}) {
            pos->line -= shift;
            if (pos->line < 0)
                *pos = Pos{};
        }
        QScrollBar *bar = verticalScrollBar();
        if (bar->value() < bar->maximum())
            bar->setValue(std::max(0, bar->value() - shift));
    }
    if (!m_repaintTimer.isActive()) {
        // A line that ends a quiet while is drawn in the same wake-up that brought it; a stream
        // is drawn once a frame, however many blocks it brings.
        const qint64 frame = FrameMs();
        const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : frame;
        m_repaintTimer.start(static_cast<int>(std::max<qint64>(0, frame - since)));
    }
}

void TTrafficLog::SetHighlighter(Highlighter highlighter)
{
    m_highlighter = std::move(highlighter);
    viewport()->update();
}

int TTrafficLog::FirstLineOfBlock(size_t block) const
{
    return static_cast<int>(Lines().FirstLineOfBlock(block));
}

const uint8_t *TTrafficLog::BlockBytes(size_t block, size_t &length) const
{
    const ST_LogBlockView view = Lines().BlockView(block);
    length = view.length;
    return view.bytes;
}

std::pair<const char *, size_t> TTrafficLog::LineView(int line) const
{
    if (line < 0 || line >= LineCount())
        return {"", 0};
    const size_t l = static_cast<size_t>(line);
    const ST_LogRendered &block = RenderedBlock(Lines().BlockOfLine(l));
    const ST_LogRendered::Span &span = block.lines[Lines().SubLineOfLine(l)];
    return {block.text.data() + span.start, span.length};
}

void TTrafficLog::ShowLine(int line)
{
    FlushView();
    QScrollBar *v = verticalScrollBar();
    if (line < v->value() || line >= v->value() + VisibleLineCount())
        v->setValue(std::max(0, line - VisibleLineCount() / 2));
}

int TTrafficLog::FrameMs(bool steadyStreams) const
{
    const bool steady = steadyStreams && m_streamFrames >= kSteadyFrames;
    return static_cast<int>(m_flooded || steady ? kFloodFrameMs : kFrameMs);
}

void TTrafficLog::FlushIfDue()
{
    // Timers of one period drift apart by a millisecond or two; a frame that close is drawn in
    // this wake-up rather than in one of its own.
    constexpr int kCloseMs = 5;
    if (m_repaintTimer.isActive() && m_repaintTimer.remainingTime() <= kCloseMs)
        FlushView();
}

void TTrafficLog::FlushView()
{
    m_repaintTimer.stop();
    // Frames that follow each other this closely draw a stream.
    const qint64 frame = FrameMs();
    m_streamFrames =
        m_sinceFlush.isValid() && m_sinceFlush.elapsed() <= frame + frame / 2 ? m_streamFrames + 1 : 0;
    m_sinceFlush.start();
    // Whether the user was at the bottom is judged against the range the user could see.
    const bool follow = IsFollowingEnd();
    auto *bar = static_cast<TLogScrollBar *>(verticalScrollBar());
    bar->Hold(true);
    UpdateScrollBars();
    if (follow)
        bar->setValue(bar->maximum());
    bar->Hold(false);
    m_flooded = UpdateChangedRows();
}

int TTrafficLog::RowCount() const
{
    return (viewport()->height() + m_lineHeight - 1) / m_lineHeight;
}

uint64_t TTrafficLog::RowKey(int line) const
{
    return line >= 0 && line < LineCount() ? Lines().LineId(static_cast<size_t>(line)) : kBlankRow;
}

void TTrafficLog::ForgetRows()
{
    std::fill(m_rowKeys.begin(), m_rowKeys.end(), kUnknownRow);
}

void TTrafficLog::MoveRows(int rows)
{
    const int count = static_cast<int>(m_rowKeys.size());
    if (rows == 0)
        return;
    if (std::abs(rows) >= count) {
        ForgetRows();
        viewport()->update();
        return;
    }
    viewport()->scroll(0, rows * m_lineHeight);
    if (rows > 0) {
        std::move_backward(m_rowKeys.begin(), m_rowKeys.end() - rows, m_rowKeys.end());
        std::fill(m_rowKeys.begin(), m_rowKeys.begin() + rows, kUnknownRow);
    } else {
        std::move(m_rowKeys.begin() - rows, m_rowKeys.end(), m_rowKeys.begin());
        std::fill(m_rowKeys.end() + rows, m_rowKeys.end(), kUnknownRow);
    }
}

bool TTrafficLog::UpdateChangedRows()
{
    const int rows = RowCount();
    if (static_cast<int>(m_rowKeys.size()) != rows) {
        viewport()->update();
        return false;
    }
    const int top = verticalScrollBar()->value();
    // Lines that went from the top of a full log while the view stayed at its end moved the
    // lines shown up without the bar's value changing.
    const uint64_t first = RowKey(top);
    if (m_rowKeys[0] != first && first != kBlankRow) {
        const auto found = std::find(m_rowKeys.begin() + 1, m_rowKeys.end(), first);
        if (found != m_rowKeys.end())
            MoveRows(-static_cast<int>(found - m_rowKeys.begin()));
    }
    int from = -1;
    int changedRows = 0;
    for (int row = 0; row <= rows; ++row) {
        const bool changed = row < rows && m_rowKeys[static_cast<size_t>(row)] != RowKey(top + row);
        changedRows += changed;
        if (changed && from < 0)
            from = row;
        if (!changed && from >= 0) {
            viewport()->update(0, from * m_lineHeight, viewport()->width(), (row - from) * m_lineHeight);
            from = -1;
        }
    }
    return rows > 1 && changedRows == rows;
}

void TTrafficLog::scrollContentsBy(int dx, int dy)
{
    if (dx != 0)
        viewport()->update();
    else
        MoveRows(dy);
}

void TTrafficLog::Clear()
{
    // What waits for its frame is shown before the log goes, as a held line is.
    m_frameLines.Settle();
    m_pipeline.Clear();
    SyncHeldTimer();
    ForgetRows();
    m_repaintTimer.stop();
    m_anchor = m_cursor = Pos{};
    m_mouse->Cancel();
    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

std::string TTrafficLog::WholeText() const
{
    return Lines().WholeText();
}

void TTrafficLog::SaveToFile(const std::string &path) const
{
    WriteFileAtomic(path, Lines().WholeText());
}

void TTrafficLog::CopyToClipboard() const
{
    CopyText(Lines().WholeText(), m_pipeline.Utf8());
}

const ST_LogRendered &TTrafficLog::RenderedLine(size_t line, size_t &subLine) const
{
    if (Lines().IsMarkerLine(line)) {
        m_marker.Reset();
        m_marker.text = Lines().MarkerText();
        const auto length = static_cast<uint32_t>(m_marker.text.size());
        m_marker.pieces.push_back({0, length, kColorMarker});
        m_marker.lines.push_back({0, length});
        subLine = 0;
        return m_marker;
    }
    subLine = Lines().SubLineOfLine(line);
    return RenderedBlock(Lines().BlockOfLine(line));
}

const ST_LogRendered &TTrafficLog::PaintedLine(size_t line, size_t &subLine, int columns)
{
    // A block in the hex or decimal view is one line, as long as the block: a flood's rows are
    // blocks of 16 KiB, of which a row shows a hundred columns. Rendering each whole for a frame
    // cost more than drawing it; its start is rendered instead, at least two columns a byte. A
    // highlighter looks at the whole line, so it gets the whole line.
    if (m_highlighter || Lines().IsMarkerLine(line))
        return RenderedLine(line, subLine);
    const size_t block = Lines().BlockOfLine(line);
    ST_LogBlockView view = Lines().BlockView(block);
    const size_t enough = static_cast<size_t>(std::max(0, columns)) / 2 + 1;
    if ((view.mode != 1 && view.mode != 2) || view.length <= enough || Lines().SubLineOfLine(line) != 0)
        return RenderedLine(line, subLine);
    subLine = 0;
    if (block != m_paintedBlock) {
        view.length = enough;
        RenderLogBlock(view, m_painted);
        m_paintedBlock = block;
    }
    return m_painted;
}

void TTrafficLog::SetScrollbackBytes(size_t bytes)
{
    m_pipeline.SetByteLimit(bytes);
}

std::string TTrafficLog::LineText(int line) const
{
    if (line < 0 || line >= LineCount())
        return std::string();
    size_t sub = 0;
    const ST_LogRendered &rendered = RenderedLine(static_cast<size_t>(line), sub);
    return rendered.LineText(sub);
}

std::vector<ST_LogRun> TTrafficLog::LineRuns(int line) const
{
    if (line < 0 || line >= LineCount())
        return {};
    size_t sub = 0;
    const ST_LogRendered &rendered = RenderedLine(static_cast<size_t>(line), sub);
    return rendered.LineRuns(sub);
}

bool TTrafficLog::HasSelection() const
{
    return m_anchor.line != m_cursor.line || m_anchor.column != m_cursor.column;
}

void TTrafficLog::SetSelection(int startLine, int startColumn, int endLine, int endColumn)
{
    const auto clamp = [this](int line, int column) {
        if (LineCount() == 0)
            return Pos{};
        line = std::clamp(line, 0, LineCount() - 1);
        const int length = static_cast<int>(LineText(line).size());
        return Pos{line, std::clamp(column, 0, length)};
    };
    m_anchor = clamp(startLine, startColumn);
    m_cursor = clamp(endLine, endColumn);
    viewport()->update();
}

void TTrafficLog::SelectAll()
{
    const int last = LineCount() - 1;
    SetSelection(0, 0, last, last < 0 ? 0 : static_cast<int>(LineText(last).size()));
}

void TTrafficLog::ClearSelection()
{
    m_anchor = m_cursor;
    viewport()->update();
}

bool TTrafficLog::SelectedLines(int &first, int &last) const
{
    if (!HasSelection())
        return false;
    const bool forward = m_anchor.line < m_cursor.line ||
                         (m_anchor.line == m_cursor.line && m_anchor.column < m_cursor.column);
    const Pos &s = forward ? m_anchor : m_cursor;
    const Pos &e = forward ? m_cursor : m_anchor;
    first = s.line;
    // A selection that ends at the start of a line takes nothing of it.
    last = e.column == 0 && e.line > s.line ? e.line - 1 : e.line;
    return true;
}

bool TTrafficLog::SelectedTraffic(uint32_t &first, uint32_t &last) const
{
    int firstLine = 0, lastLine = 0;
    if (!SelectedLines(firstLine, lastLine) || Lines().BlockCount() == 0)
        return false;
    const size_t from = BlockOfLine(firstLine), to = BlockOfLine(lastLine);
    bool any = false;
    // Numbers run on modulo 2^32, so they are compared by their distance from the first found.
    for (size_t block = from; block <= to; ++block) {
        CLogStore::ST_TrafficSpan span;
        if (!Lines().TrafficOf(block, span))
            continue;
        if (!any) {
            first = span.first;
            last = span.last;
            any = true;
            continue;
        }
        if (static_cast<int32_t>(span.first - first) < 0)
            first = span.first;
        if (static_cast<int32_t>(span.last - last) > 0)
            last = span.last;
    }
    return any;
}

std::string TTrafficLog::SelectedText() const
{
    if (!HasSelection())
        return std::string();
    const bool forward = m_anchor.line < m_cursor.line ||
                         (m_anchor.line == m_cursor.line && m_anchor.column < m_cursor.column);
    const Pos &s = forward ? m_anchor : m_cursor;
    const Pos &e = forward ? m_cursor : m_anchor;
    std::string text;
    for (int line = s.line; line <= e.line; ++line) {
        const std::string lineText = LineText(line);
        const size_t from = line == s.line ? std::min(static_cast<size_t>(s.column), lineText.size()) : 0;
        const size_t to =
            line == e.line ? std::min(static_cast<size_t>(e.column), lineText.size()) : lineText.size();
        if (to > from)
            text.append(lineText, from, to - from);
        if (line != e.line)
            text.append("\r\n");
    }
    return text;
}

void TTrafficLog::CopySelection() const
{
    if (HasSelection())
        CopyText(SelectedText(), m_pipeline.Utf8());
}

bool TTrafficLog::IsFollowingEnd() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

int TTrafficLog::VisibleLineCount() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

void TTrafficLog::UpdateMetrics()
{
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    m_ascent = metrics.ascent();
    m_glyphs.SetFont(font());
    m_tiles.Reset(m_charWidth, m_lineHeight, m_ascent);
}

void TTrafficLog::UpdateScrollBars()
{
    const int visible = VisibleLineCount();
    QScrollBar *v = verticalScrollBar();
    {
        // Both bars are always shown, so the scroll area's own reaction to a range change (a
        // queued relayout per logged line) has nothing to do.
        const QSignalBlocker quiet(v);
        v->setRange(0, std::max(0, LineCount() - visible));
    }
    v->setPageStep(visible);
    v->setSingleStep(1);

    const qint64 width = static_cast<qint64>(Lines().MaxColumns()) * m_charWidth + 2 * kMargin;
    QScrollBar *h = horizontalScrollBar();
    {
        const QSignalBlocker quiet(h);
        h->setRange(0, static_cast<int>(std::clamp<qint64>(width - viewport()->width(), 0, INT32_MAX)));
    }
    h->setPageStep(viewport()->width());
    h->setSingleStep(m_charWidth);
}

void TTrafficLog::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const int width = viewport()->width();
    const int xOrigin = kMargin - horizontalScrollBar()->value();
    const int firstColumn = std::max(0, -xOrigin / m_charWidth);
    const int columnsShown = width / m_charWidth + 2;

    const bool forward = m_anchor.line < m_cursor.line ||
                         (m_anchor.line == m_cursor.line && m_anchor.column < m_cursor.column);
    const Pos &selStart = forward ? m_anchor : m_cursor;
    const Pos &selEnd = forward ? m_cursor : m_anchor;
    const bool selection = HasSelection();

    const int count = LineCount();
    m_paintedBlock = static_cast<size_t>(-1);
    m_rowKeys.resize(static_cast<size_t>(RowCount()), kUnknownRow);
    // A picture taken of the log (a screenshot) is drawn here too, but not on the screen.
    QBackingStore *store = viewport()->backingStore();
    const bool onScreen = store != nullptr && painter.paintEngine()->paintDevice() == store->paintDevice();
    const QRegion &area = event->region();
    // Cells are copied straight onto the screen's page where its pixels allow it; a picture taken
    // of the log is drawn glyph by glyph, so the two can be compared.
    QImage *page = nullptr;
    QPoint pageOffset;
    if (onScreen && store->paintDevice()->devType() == QInternal::Image) {
        const QTransform toPage = painter.deviceTransform();
        auto *image = static_cast<QImage *>(store->paintDevice());
        if (toPage.type() <= QTransform::TxTranslate && TLogTiles::Suits(*image) &&
            toPage.dx() == std::floor(toPage.dx()) && toPage.dy() == std::floor(toPage.dy())) {
            page = image;
            pageOffset = QPoint(static_cast<int>(toPage.dx()), static_cast<int>(toPage.dy()));
        }
    }
    const QRect viewArea = viewport()->rect();
    // The page is cleared here rather than by the viewport beforehand: copied cells are whole, so
    // only what they leave of a row needs clearing, and a cleared row would be written twice.
    const QBrush &pageBrush = viewport()->palette().brush(viewport()->backgroundRole());
    const auto clear = [&](const QRect &rect, bool whole) {
        if (whole) {
            painter.fillRect(rect, pageBrush);
            return;
        }
        for (const QRect &part : area &rect)
            painter.fillRect(part, pageBrush);
    };
    // The rows reach the viewport's bottom edge, the last one cut short, so they cover the area.
    const int firstRow = std::max(0, area.boundingRect().top() / m_lineHeight);
    const int endRow = std::min(RowCount(), area.boundingRect().bottom() / m_lineHeight + 1);
    int line = verticalScrollBar()->value() + firstRow;
    for (int row = firstRow, y = firstRow * m_lineHeight; row < endRow; ++row, y += m_lineHeight, ++line) {
        // A row drawn in part shows its line only if the rest of it did already.
        uint64_t &shown = m_rowKeys[static_cast<size_t>(row)];
        const QRect rowArea = QRect(0, y, width, m_lineHeight) & viewArea;
        const bool wholeRow = (QRegion(rowArea) - area).isEmpty();
        if (const uint64_t key = RowKey(line); onScreen && shown != key)
            shown = wholeRow ? key : kUnknownRow;
        if (line >= count) {
            clear(rowArea, wholeRow);
            continue;
        }
        size_t sub = 0;
        const ST_LogRendered &block = PaintedLine(static_cast<size_t>(line), sub, firstColumn + columnsShown);
        const ST_LogRendered::Span &span = block.lines[sub];
        const int baseline = y + m_ascent;

        const char *lineText = block.text.data() + span.start;
        // A UTF-8 line's columns are characters: byte offsets are turned into them.
        const auto column = [&](size_t offset) {
            return block.utf8 ? Utf8Column(lineText, offset) : static_cast<int>(offset);
        };
        const auto drawVisible = [&](const QColor *override) {
            for (const ST_LogRendered::Piece &piece : block.pieces) {
                if (block.utf8) {
                    const int from = std::max<int>(piece.start, span.start);
                    const int to = std::min<int>(piece.start + piece.length, span.start + span.length);
                    if (from >= to)
                        continue;
                    const int x = xOrigin + column(from - span.start) * m_charWidth;
                    const char *text = block.text.data() + from;
                    const auto length = static_cast<size_t>(to - from);
                    const QColor color =
                        override ? *override : ToQColor(LogShownColour(m_theme, piece.color));
                    painter.setPen(color);
                    if (std::any_of(text, text + length, [](char c) { return c & 0x80; }) ||
                        !m_glyphs.Draw(painter, QPointF(x, baseline), text, length, m_charWidth))
                        DrawUtf8(painter, x, baseline, text, length, m_charWidth);
                    continue;
                }
                const int from = std::max<int>(piece.start, span.start + firstColumn);
                const int to = std::min<int>(
                    piece.start + piece.length,
                    std::min<int>(span.start + span.length, span.start + firstColumn + columnsShown));
                if (from >= to)
                    continue;
                painter.setPen(override ? *override : ToQColor(LogShownColour(m_theme, piece.color)));
                const int column = from - static_cast<int>(span.start);
                const int x = xOrigin + column * m_charWidth;
                const size_t length = static_cast<size_t>(to - from);
                if (!m_glyphs.Draw(painter, QPointF(x, baseline), block.text.data() + from, length,
                                   m_charWidth))
                    painter.drawText(x, baseline,
                                     DisplayString(block.text, static_cast<size_t>(from), length));
            }
        };
        std::vector<std::pair<size_t, size_t>> marks;
        if (m_highlighter)
            marks = m_highlighter(block.text.substr(span.start, span.length));
        const bool selected = selection && line >= selStart.line && line <= selEnd.line;
        // Cells on the plain page only.
        std::pair<int, int> copied;
        if (page != nullptr && !block.utf8 && marks.empty() && !selected && wholeRow &&
            CopyCells(*page, pageOffset, rowArea, block, span, xOrigin, y, firstColumn, columnsShown,
                      copied)) {
            clear(QRect(QPoint(rowArea.left(), y), QPoint(copied.first - 1, rowArea.bottom())), true);
            clear(QRect(QPoint(copied.second, y), QPoint(rowArea.right(), rowArea.bottom())), true);
        } else {
            clear(rowArea, wholeRow);
            for (const auto &[at, length] : marks) {
                const int first = column(at);
                painter.fillRect(xOrigin + first * m_charWidth, y,
                                 (column(at + length) - first) * m_charWidth, m_lineHeight,
                                 ToQColor(LogFindMark(m_theme)));
            }
            drawVisible(nullptr);
        }

        if (selected) {
            const int startColumn = line == selStart.line ? column(selStart.column) : 0;
            // A selected line break shows as one selected cell past the end.
            const int endColumn = line == selEnd.line ? column(selEnd.column) : column(span.length) + 1;
            const QRect rect(xOrigin + startColumn * m_charWidth, y, (endColumn - startColumn) * m_charWidth,
                             m_lineHeight);
            if (rect.width() > 0) {
                painter.save();
                painter.setClipRect(rect);
                painter.fillRect(rect, palette().brush(QPalette::Highlight));
                const QColor highlighted = palette().color(QPalette::HighlightedText);
                drawVisible(&highlighted);
                painter.restore();
            }
        }
    }
}

bool TTrafficLog::CopyCells(QImage &page, QPoint pageOffset, const QRect &rowArea,
                            const ST_LogRendered &block, const ST_LogRendered::Span &span, int xOrigin, int y,
                            int firstColumn, int columnsShown, std::pair<int, int> &copied)
{
    copied = {rowArea.left(), rowArea.left()};
    // Every cell is looked up first: a row copied in part and then drawn would be blended twice.
    m_cells.clear();
    m_cells.push_back({}); // the blank before the first column, where its glyph may reach
    for (const ST_LogRendered::Piece &piece : block.pieces) {
        const int from = std::max<int>(piece.start, span.start + firstColumn);
        const int to =
            std::min<int>(piece.start + piece.length,
                          std::min<int>(span.start + span.length, span.start + firstColumn + columnsShown));
        if (from >= to)
            continue;
        const int column = from - static_cast<int>(span.start);
        if (m_cells.size() > 1 && column != m_cells.back().column + 1)
            return false;
        const QRgb color = ToQColor(LogShownColour(m_theme, piece.color)).rgba();
        for (int at = from; at < to; ++at) {
            Cell cell;
            cell.glyph = {static_cast<uint8_t>(block.text[static_cast<size_t>(at)]), color};
            cell.column = column + (at - from);
            cell.tile = m_tiles.Single(m_glyphs, page.format(), cell.glyph, &cell.spills);
            if (cell.tile < 0)
                return false;
            m_cells.push_back(cell);
        }
    }
    if (m_cells.size() == 1)
        return true;
    m_cells.front().column = m_cells[1].column - 1;
    m_cells.push_back({});
    m_cells.back().column = m_cells[m_cells.size() - 2].column + 1;
    const auto last = static_cast<int>(m_cells.size()) - 1;
    for (int i = 0; i <= last; ++i) {
        Cell &cell = m_cells[static_cast<size_t>(i)];
        const Cell *prev = i > 0 ? &m_cells[static_cast<size_t>(i - 1)] : nullptr;
        const Cell *next = i < last ? &m_cells[static_cast<size_t>(i + 1)] : nullptr;
        const TLogTiles::Glyph before =
            prev && (prev->spills & TLogTiles::kSpillsRight) ? prev->glyph : TLogTiles::Glyph();
        const TLogTiles::Glyph after =
            next && (next->spills & TLogTiles::kSpillsLeft) ? next->glyph : TLogTiles::Glyph();
        // The blanks at the ends hold ink only from their neighbours, or nothing to draw.
        if (before.c == TLogTiles::kNone && after.c == TLogTiles::kNone)
            continue;
        cell.tile = m_tiles.Cell(m_glyphs, before, cell.glyph, after);
        if (cell.tile < 0)
            return false;
    }
    const QRect clip = rowArea.translated(pageOffset);
    // The blanks at the ends are copied only where a neighbour's ink reaches them.
    const size_t first = m_cells.front().tile >= 0 ? 0 : 1;
    const size_t end = m_cells.back().tile >= 0 ? m_cells.size() : m_cells.size() - 1;
    m_rowTiles.clear();
    for (size_t i = first; i < end; ++i)
        m_rowTiles.push_back(m_cells[i].tile);
    m_tiles.CopyRow(page, QPoint(xOrigin + m_cells[first].column * m_charWidth, y) + pageOffset,
                    m_rowTiles.data(), m_rowTiles.size(), clip);
    copied.first =
        std::clamp(xOrigin + m_cells[first].column * m_charWidth, rowArea.left(), rowArea.right() + 1);
    copied.second =
        std::clamp(xOrigin + (m_cells[end - 1].column + 1) * m_charWidth, copied.first, rowArea.right() + 1);
    return true;
}

void TTrafficLog::resizeEvent(QResizeEvent *event)
{
    const bool follow = IsFollowingEnd();
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TTrafficLog::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // The bar still holds the old metrics here; a zoom changes how many lines a page holds,
        // and a view that was at the end must stay there or it looks as if the device went quiet.
        const bool follow = IsFollowingEnd();
        ForgetRows();
        UpdateMetrics();
        UpdateScrollBars();
        if (follow)
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange && LogThemeOf(*this) != m_theme) {
        m_theme = LogThemeOf(*this);
        ShowPage();
        ForgetRows();
        viewport()->update();
    }
}

void TTrafficLog::ShowPage()
{
    const QColor page = ToQColor(LogPage(m_theme));
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, page);
    viewport()->setPalette(palette);
    m_tiles.SetPage(page.rgba());
}

TTrafficLog::Pos TTrafficLog::PosAt(const QPoint &point) const
{
    const int count = LineCount();
    if (count == 0)
        return Pos{};
    const int row = point.y() >= 0 ? point.y() / m_lineHeight : -1 - (-point.y() - 1) / m_lineHeight;
    const int line = verticalScrollBar()->value() + row;
    if (line < 0)
        return Pos{0, 0};
    if (line >= count)
        return Pos{count - 1, static_cast<int>(LineText(count - 1).size())};
    const int x = point.x() + horizontalScrollBar()->value() - kMargin;
    const int column = std::max(0, (x + m_charWidth / 2) / m_charWidth);
    size_t sub = 0;
    const ST_LogRendered &block = RenderedLine(static_cast<size_t>(line), sub);
    const ST_LogRendered::Span &span = block.lines[sub];
    if (block.utf8)
        return Pos{line, static_cast<int>(Utf8Offset(block.text.data() + span.start, span.length, column))};
    return Pos{line, std::min(column, static_cast<int>(span.length))};
}

std::pair<int, int> TTrafficLog::WordAt(int line, int column) const
{
    if (line < 0 || line >= LineCount())
        return {column, column};
    const std::string text = LineText(line);
    size_t sub = 0;
    const bool utf8 = RenderedLine(static_cast<size_t>(line), sub).utf8;
    // The bytes of a UTF-8 character are all taken as word bytes: a letter is what they mostly are.
    const auto word = [&](size_t i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        return (utf8 && byte >= 0x80) || IsWordChar(QChar(static_cast<char16_t>(byte)));
    };
    auto first = static_cast<size_t>(std::clamp(column, 0, static_cast<int>(text.size())));
    if (first >= text.size() || !word(first))
        return {column, column};
    size_t end = first + 1;
    while (first > 0 && word(first - 1))
        --first;
    while (end < text.size() && word(end))
        ++end;
    return {static_cast<int>(first), static_cast<int>(end)};
}

void TTrafficLog::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TTrafficLog::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_contextMenu)
        m_contextMenu->exec(event->globalPos());
}
