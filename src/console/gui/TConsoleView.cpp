#include "console/gui/TConsoleView.h"

#include "console/gui/TConsoleAccessible.h"
#include "log/gui/TLogScrollBar.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A change after a quiet while (an echo of a typed key) is drawn within a display frame.
constexpr int kFrameMs = 16;
// Output that keeps coming is drawn twenty times a second, as a terminal's reader follows it no
// faster; output that pushes a whole screen into the scrollback between two frames can only be
// read once it pauses, so ten frames a second show it flowing. Every frame redraws the screen and
// hands it to the display, the larger part of the console's cost in a stream.
constexpr int kStreamFrameMs = 50;
constexpr int kFloodFrameMs = 100;
constexpr int kSteadyFrames = 10;
constexpr int kFlashMs = 120;

// The character Ctrl turns into a control code, from the key rather than the text, which
// platforms give differently (already a control code, or nothing) when Ctrl is held.
char CtrlChar(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<char>('a' + (key - Qt::Key_A));
    if (key >= Qt::Key_2 && key <= Qt::Key_8)
        return static_cast<char>('2' + (key - Qt::Key_2));
    switch (key) {
    case Qt::Key_Space:
        return ' ';
    case Qt::Key_At:
        return '@';
    case Qt::Key_BracketLeft:
        return '[';
    case Qt::Key_Backslash:
        return '\\';
    case Qt::Key_BracketRight:
        return ']';
    case Qt::Key_AsciiCircum:
        return '^';
    case Qt::Key_Underscore:
        return '_';
    case Qt::Key_Slash:
        return '/';
    case Qt::Key_Question:
        return '?';
    default:
        return 0;
    }
}

// Ctrl with plus, equals, minus or 0 zooms, as in most terminals: none of them gives the device a
// control code (Ctrl+underscore, Shift with minus, still does).
bool ZoomChord(const QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mods != Qt::ControlModifier && mods != (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    const int key = e->key();
    return key == Qt::Key_Plus || key == Qt::Key_Equal || key == Qt::Key_Minus || key == Qt::Key_0;
}

bool NamedKey(int key, EConsoleKey &out)
{
    static const std::pair<int, EConsoleKey> kKeys[] = {
        {Qt::Key_Return, EConsoleKey::Enter},
        {Qt::Key_Enter, EConsoleKey::Enter},
        {Qt::Key_Backspace, EConsoleKey::Backspace},
        {Qt::Key_Tab, EConsoleKey::Tab},
        {Qt::Key_Backtab, EConsoleKey::Tab},
        {Qt::Key_Escape, EConsoleKey::Escape},
        {Qt::Key_Up, EConsoleKey::Up},
        {Qt::Key_Down, EConsoleKey::Down},
        {Qt::Key_Right, EConsoleKey::Right},
        {Qt::Key_Left, EConsoleKey::Left},
        {Qt::Key_Home, EConsoleKey::Home},
        {Qt::Key_End, EConsoleKey::End},
        {Qt::Key_PageUp, EConsoleKey::PageUp},
        {Qt::Key_PageDown, EConsoleKey::PageDown},
        {Qt::Key_Insert, EConsoleKey::Insert},
        {Qt::Key_Delete, EConsoleKey::Delete},
        {Qt::Key_F1, EConsoleKey::F1},
        {Qt::Key_F2, EConsoleKey::F2},
        {Qt::Key_F3, EConsoleKey::F3},
        {Qt::Key_F4, EConsoleKey::F4},
        {Qt::Key_F5, EConsoleKey::F5},
        {Qt::Key_F6, EConsoleKey::F6},
        {Qt::Key_F7, EConsoleKey::F7},
        {Qt::Key_F8, EConsoleKey::F8},
        {Qt::Key_F9, EConsoleKey::F9},
        {Qt::Key_F10, EConsoleKey::F10},
        {Qt::Key_F11, EConsoleKey::F11},
        {Qt::Key_F12, EConsoleKey::F12},
    };
    for (const auto &k : kKeys)
        if (k.first == key) {
            out = k.second;
            return true;
        }
    return false;
}

QColor ToQColor(const ST_ConsoleColour &c, const QColor &fallback)
{
    return c.Default ? fallback : QColor(c.R, c.G, c.B);
}

QString CellText(const ST_ConsoleCell &c)
{
    QString s;
    for (size_t k = 0; k < ST_ConsoleCell::kMaxChars && c.Chars[k]; ++k)
        s += QString::fromUcs4(&c.Chars[k], 1);
    return s.isEmpty() ? QStringLiteral(" ") : s;
}

} // namespace

TConsoleView::TConsoleView(QWidget *parent) : QAbstractScrollArea(parent), m_screen(24, 80)
{
    TConsoleAccessible::Install();
    setObjectName(QStringLiteral("console"));
    setAccessibleName(tr("Console"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBar(new TLogScrollBar(Qt::Vertical, this));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &TConsoleView::Frame);
    m_paceTimer.setSingleShot(true);
    connect(&m_paceTimer, &QTimer::timeout, this, &TConsoleView::PasteStep);
    m_flashTimer.setSingleShot(true);
    m_flashTimer.setInterval(kFlashMs);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] {
        m_flash = false;
        viewport()->update();
    });
    UpdateFont();

    ST_TextSelectHooks hooks;
    hooks.PlaceAt = [this](const QPoint &point) { return PlaceAt(point); };
    hooks.Anchor = [this] { return m_anchor; };
    hooks.Select = [this](const ST_Place &anchor, const ST_Place &end) {
        m_anchor = anchor;
        m_end = end;
        m_hasSelection = true;
        viewport()->update();
    };
    hooks.WordAt = [this](const ST_Place &at) { return WordAt(at); };
    hooks.LineAt = [this](const ST_Place &at) { return TTextSpan{{at.Line, 0}, {at.Line, m_screen.Cols()}}; };
    hooks.Finished = [this] {
        if (m_anchor == m_end)
            m_hasSelection = false;
        else if (QApplication::clipboard()->supportsSelection())
            QApplication::clipboard()->setText(SelectedText(), QClipboard::Selection);
    };
    m_mouse = new TTextSelectMouse(this, std::move(hooks));
}

TConsoleView::~TConsoleView() = default;

void TConsoleView::Feed(const uint8_t *bytes, size_t count)
{
    m_screen.Feed(bytes, count);
    std::vector<uint8_t> answers = m_screen.TakeAnswers();
    if (!answers.empty())
        emit ToDevice(answers, false);
    TakeScreenChanges();
}

// Kept up at once so that line numbers (the selection, the place scrolled back to) stay right
// between frames; drawing waits for the frame.
void TConsoleView::TakeScreenChanges()
{
    const CConsoleScreen::ST_Damage d = m_screen.TakeDamage();
    const bool bell = m_screen.TakeBell();
    if (!d.Any() && !bell)
        return;
    m_linesBefore += static_cast<int64_t>(d.PushedLines);
    m_pushedSinceFrame += d.PushedLines;
    if (d.PushedLines > 0) {
        if (m_back > 0)
            m_back = std::min(m_back + d.PushedLines, m_screen.ScrollbackLines());
        m_allDirty = true;
    }
    if (d.FirstRow < d.EndRow) {
        if (m_dirtyFirst < m_dirtyEnd) {
            m_dirtyFirst = std::min(m_dirtyFirst, d.FirstRow);
            m_dirtyEnd = std::max(m_dirtyEnd, d.EndRow);
        } else {
            m_dirtyFirst = d.FirstRow;
            m_dirtyEnd = d.EndRow;
        }
    }
    if (bell) {
        emit Bell();
        Flash();
    }
    if (!m_frame.isActive())
        m_frame.start(FrameMs());
}

int TConsoleView::FrameMs() const
{
    if (m_flooded)
        return kFloodFrameMs;
    return m_streamFrames >= kSteadyFrames ? kStreamFrameMs : kFrameMs;
}

void TConsoleView::Frame()
{
    // Frames that follow each other this closely draw a stream.
    const int frame = m_frame.interval();
    m_streamFrames = m_sinceFrame.isValid() && m_sinceFrame.elapsed() <= frame + frame / 2 + kFrameMs
                         ? m_streamFrames + 1
                         : 0;
    m_sinceFrame.start();
    m_flooded = m_pushedSinceFrame >= static_cast<size_t>(m_screen.Rows());
    m_pushedSinceFrame = 0;
    SyncScrollBar();
    const int back = static_cast<int>(m_back);
    if (m_allDirty) {
        viewport()->update();
    } else {
        if (m_dirtyFirst < m_dirtyEnd)
            UpdateRows(m_dirtyFirst + back, m_dirtyEnd + back);
        const ST_ConsolePos cursor = m_screen.Cursor();
        if (cursor.Row != m_cursorShown.Row || cursor.Col != m_cursorShown.Col) {
            UpdateRows(m_cursorShown.Row + back, m_cursorShown.Row + back + 1);
            UpdateRows(cursor.Row + back, cursor.Row + back + 1);
        }
    }
    m_cursorShown = m_screen.Cursor();
    m_allDirty = false;
    m_dirtyFirst = m_dirtyEnd = 0;
    TConsoleAccessible::Changed(this);
}

void TConsoleView::UpdateRows(int firstVisible, int endVisible)
{
    const int rows = Rows();
    firstVisible = std::max(firstVisible, 0);
    endVisible = std::min(endVisible, rows + 1);
    if (firstVisible < endVisible)
        viewport()->update(0, firstVisible * m_cellH, viewport()->width(),
                           (endVisible - firstVisible) * m_cellH);
}

void TConsoleView::Flash()
{
    m_flash = true;
    m_flashTimer.start();
    viewport()->update();
}

void TConsoleView::SetUtf8(bool on)
{
    m_utf8 = on;
    m_screen.SetUtf8(on);
}

void TConsoleView::SetKeySettings(const ST_ConsoleKeySettings &settings)
{
    m_keys = settings;
}

void TConsoleView::SetScrollbackLines(size_t lines)
{
    m_screen.SetScrollbackLimit(lines);
    m_back = std::min(m_back, m_screen.ScrollbackLines());
    SyncScrollBar();
    viewport()->update();
}

void TConsoleView::SetLocalEcho(bool on)
{
    m_localEcho = on;
}

void TConsoleView::SetPasteDelays(int charMs, int lineMs)
{
    m_charMs = std::max(charMs, 0);
    m_lineMs = std::max(lineMs, 0);
}

int TConsoleView::Rows() const
{
    return std::max(1, viewport()->height() / m_cellH);
}

int TConsoleView::Cols() const
{
    return std::max(1, static_cast<int>(viewport()->width() / m_cellW));
}

void TConsoleView::ClearScrollback()
{
    m_screen.ClearScrollback();
    m_back = 0;
    m_hasSelection = false;
    SyncScrollBar();
    viewport()->update();
}

// ---- keys

bool TConsoleView::event(QEvent *e)
{
    // Every key is the device's (the chords are handled in keyPressEvent), so no shortcut of the
    // window may take one, but the window's zoom.
    if (e->type() == QEvent::ShortcutOverride && !ZoomChord(static_cast<QKeyEvent *>(e))) {
        e->accept();
        return true;
    }
    return QAbstractScrollArea::event(e);
}

bool TConsoleView::focusNextPrevChild(bool)
{
    return false; // Tab is the device's
}

bool TConsoleView::Chord(const QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mods == Qt::ShiftModifier && (e->key() == Qt::Key_PageUp || e->key() == Qt::Key_PageDown)) {
        QScrollBar *bar = verticalScrollBar();
        bar->setValue(bar->value() + (e->key() == Qt::Key_PageUp ? -1 : 1) * bar->pageStep());
        return true;
    }
    // The zoom's keys reach here only when the window did not take them; they are still not the
    // device's.
    if (ZoomChord(e))
        return true;
    if (mods != (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    switch (e->key()) {
    case Qt::Key_C:
        Copy();
        return true;
    case Qt::Key_V:
        Paste();
        return true;
    case Qt::Key_T:
        emit LeaveAsked();
        return true;
    case Qt::Key_M:
        emit MenuBarAsked();
        return true;
    case Qt::Key_F:
        emit FindAsked();
        return true;
    case Qt::Key_F1:
        emit HelpAsked();
        return true;
    default:
        return false;
    }
}

std::string TConsoleView::Encode(const QString &text) const
{
    if (m_utf8)
        return text.toStdString();
    std::string out;
    for (const QChar c : text)
        out += c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?';
    return out;
}

void TConsoleView::keyPressEvent(QKeyEvent *e)
{
    e->accept();
    if (Chord(e))
        return;
    const Qt::KeyboardModifiers mods = e->modifiers();
    ST_ConsoleKey key;
    key.Shift = mods & Qt::ShiftModifier;
    key.Ctrl = mods & Qt::ControlModifier;
    key.Alt = mods & Qt::AltModifier;
    key.Keypad = mods & Qt::KeypadModifier;
    if (NamedKey(e->key(), key.Key)) {
        if (e->key() == Qt::Key_Backtab)
            key.Shift = true;
    } else if (key.Ctrl && CtrlChar(e->key())) {
        key.Text = std::string(1, CtrlChar(e->key()));
    } else {
        const QString text = e->text();
        if (text.isEmpty())
            return; // a modifier alone
        if (text.size() == 1 && text[0].unicode() < 0x20)
            key.Ctrl = false; // already the control code
        key.Text = Encode(text);
    }
    const std::string bytes = ConsoleKeyBytes(key, m_screen.KeyModes(), m_keys);
    if (bytes.empty())
        return;
    std::string echo;
    if (key.Key == EConsoleKey::Enter)
        echo = "\r\n";
    else if (key.Key == EConsoleKey::Backspace)
        echo = "\b \b";
    else if (key.Key == EConsoleKey::Tab && !key.Shift)
        echo = "\t";
    else if (key.Key == EConsoleKey::Text && !key.Ctrl && !key.Alt && bytes[0] != '\x1b')
        echo = bytes;
    Typed(bytes, echo);
}

void TConsoleView::inputMethodEvent(QInputMethodEvent *e)
{
    const std::string bytes = Encode(e->commitString());
    if (!bytes.empty())
        Typed(bytes, bytes);
    e->accept();
}

void TConsoleView::Typed(const std::string &bytes, const std::string &echo)
{
    emit ToDevice(std::vector<uint8_t>(bytes.begin(), bytes.end()), true);
    if (m_localEcho && !echo.empty()) {
        m_screen.Feed(reinterpret_cast<const uint8_t *>(echo.data()), echo.size());
        m_screen.TakeAnswers(); // what the user typed asks the terminal nothing
        TakeScreenChanges();
    }
    ScrollToBottom();
}

void TConsoleView::SendSize()
{
    ST_ConsoleKey enter;
    enter.Key = EConsoleKey::Enter;
    const std::string text = "stty rows " + std::to_string(Rows()) + " cols " + std::to_string(Cols());
    const std::string end = ConsoleKeyBytes(enter, ST_ConsoleKeyModes{}, m_keys);
    Typed(text + end, text + "\r\n");
}

// ---- clipboard

void TConsoleView::Copy()
{
    const QString text = SelectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TConsoleView::Paste()
{
    QString text = QApplication::clipboard()->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.isEmpty())
        return;
    const qsizetype lines = text.count(QLatin1Char('\n')) + (text.endsWith(QLatin1Char('\n')) ? 0 : 1);
    if (lines > 1) {
        QMessageBox box(QMessageBox::Question, tr("Paste"), tr("Paste %1 lines into the console?").arg(lines),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        box.setDefaultButton(QMessageBox::Ok);
        if (box.exec() != QMessageBox::Ok)
            return;
    }
    ST_ConsoleKey enter;
    enter.Key = EConsoleKey::Enter;
    const std::string end = ConsoleKeyBytes(enter, ST_ConsoleKeyModes{}, m_keys);
    if (m_charMs == 0 && m_lineMs == 0) {
        std::string all, echo;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            if (!all.empty() || !echo.empty()) {
                all += end;
                echo += "\r\n";
            }
            const std::string bytes = Encode(line);
            all += bytes;
            echo += bytes;
        }
        Typed(all, echo);
        return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n')) {
            m_paste.push_back(ST_PasteUnit{end, true});
            continue;
        }
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        m_paste.push_back(ST_PasteUnit{Encode(text.mid(i, n)), false});
        i += n - 1;
    }
    if (!m_paceTimer.isActive())
        PasteStep();
}

// One character (or without a character delay, the rest of the line) a step; the timer paces
// the steps, so the window stays responsive.
void TConsoleView::PasteStep()
{
    std::string bytes, echo;
    bool lineEnd = false;
    while (!m_paste.empty() && !lineEnd) {
        const ST_PasteUnit unit = m_paste.front();
        m_paste.pop_front();
        bytes += unit.Bytes;
        echo += unit.LineEnd ? std::string("\r\n") : unit.Bytes;
        lineEnd = unit.LineEnd;
        if (m_charMs > 0)
            break;
    }
    if (!bytes.empty())
        Typed(bytes, echo);
    if (!m_paste.empty())
        m_paceTimer.start(lineEnd ? std::max(m_lineMs, m_charMs) : m_charMs);
}

QMenu *TConsoleView::CreateContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    QAction *copy = menu->addAction(tr("Copy"), this, &TConsoleView::Copy);
    copy->setEnabled(m_hasSelection);
    menu->addAction(tr("Paste"), this, &TConsoleView::Paste);
    menu->addSeparator();
    menu->addAction(tr("Send Size"), this, &TConsoleView::SendSize);
    QAction *echo = menu->addAction(tr("Local Echo"), this, &TConsoleView::SetLocalEcho);
    echo->setCheckable(true);
    echo->setChecked(m_localEcho);
    menu->addSeparator();
    menu->addAction(tr("Clear Scrollback"), this, &TConsoleView::ClearScrollback);
    return menu;
}

void TConsoleView::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu *menu = CreateContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

// ---- selection and find

TConsoleView::ST_Place TConsoleView::PlaceAt(const QPoint &pos) const
{
    const int visible = std::clamp(pos.y() / m_cellH, 0, Rows() - 1);
    const int col = std::clamp(static_cast<int>(pos.x() / m_cellW), 0, m_screen.Cols());
    return ST_Place{LineOfRow(visible - static_cast<int>(m_back)), col};
}

bool TConsoleView::Selected(int row, int col) const
{
    if (!m_hasSelection)
        return false;
    const ST_Place a = std::min(m_anchor, m_end), b = std::max(m_anchor, m_end);
    const ST_Place here{LineOfRow(row), col};
    return !(here < a) && here < b;
}

QString TConsoleView::RowString(int row, std::vector<int> *cols) const
{
    std::vector<ST_ConsoleCell> cells;
    m_screen.RowCells(row, cells);
    QString s;
    for (size_t col = 0; col < cells.size(); ++col) {
        if (cells[col].Width == 0)
            continue;
        const QString t = CellText(cells[col]);
        s += t;
        if (cols)
            cols->insert(cols->end(), static_cast<size_t>(t.size()), static_cast<int>(col));
    }
    return s;
}

QString TConsoleView::SelectedText() const
{
    if (!m_hasSelection || m_anchor == m_end)
        return {};
    const ST_Place a = std::min(m_anchor, m_end), b = std::max(m_anchor, m_end);
    QStringList lines;
    for (int64_t line = a.Line; line <= b.Line; ++line) {
        const int row = RowOfLine(line);
        if (row < FirstRow() || row >= m_screen.Rows())
            continue;
        std::vector<int> cols;
        const QString s = RowString(row, &cols);
        QString part;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const int col = cols[static_cast<size_t>(i)];
            if ((line > a.Line || col >= a.Col) && (line < b.Line || col < b.Col))
                part += s[i];
        }
        while (part.endsWith(QLatin1Char(' ')))
            part.chop(1);
        lines << part;
    }
    return lines.join(QLatin1Char('\n'));
}

TTextSpan TConsoleView::WordAt(const ST_Place &at) const
{
    const int row = RowOfLine(at.Line);
    if (row < FirstRow() || row >= m_screen.Rows())
        return {at, at};
    std::vector<int> cols;
    const QString s = RowString(row, &cols);
    qsizetype i = 0;
    while (i < s.size() && cols[static_cast<size_t>(i)] < at.Col)
        ++i;
    if (i >= s.size() || !IsWordChar(s[i]))
        return {at, at};
    qsizetype first = i, last = i;
    while (first > 0 && IsWordChar(s[first - 1]))
        --first;
    while (last + 1 < s.size() && IsWordChar(s[last + 1]))
        ++last;
    return {ST_Place{at.Line, cols[static_cast<size_t>(first)]},
            ST_Place{at.Line, cols[static_cast<size_t>(last)] + 1}};
}

bool TConsoleView::Find(const QString &text, bool forward, bool caseSensitive)
{
    if (text.isEmpty())
        return false;
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int first = FirstRow(), end = m_screen.Rows();
    // From the selection on; without one, from the top of the view down or its bottom up.
    int row;
    int from; // a column: matches must start after it (forward) or before it (backward)
    if (m_hasSelection) {
        const ST_Place a = std::min(m_anchor, m_end);
        row = std::clamp(RowOfLine(a.Line), first, end - 1);
        from = a.Col;
    } else {
        row = forward ? -static_cast<int>(m_back) : std::min(end - 1, -static_cast<int>(m_back) + Rows() - 1);
        from = forward ? -1 : INT_MAX;
    }
    for (; row >= first && row < end; row += forward ? 1 : -1) {
        std::vector<int> cols;
        const QString s = RowString(row, &cols);
        qsizetype at = -1;
        if (forward) {
            for (qsizetype i = s.indexOf(text, 0, cs); i >= 0; i = s.indexOf(text, i + 1, cs))
                if (cols[static_cast<size_t>(i)] > from) {
                    at = i;
                    break;
                }
        } else {
            for (qsizetype i = s.lastIndexOf(text, -1, cs); i >= 0;
                 i = i > 0 ? s.lastIndexOf(text, i - 1, cs) : -1)
                if (cols[static_cast<size_t>(i)] < from) {
                    at = i;
                    break;
                }
        }
        if (at >= 0) {
            const size_t last = static_cast<size_t>(at + text.size() - 1);
            m_anchor = ST_Place{LineOfRow(row), cols[static_cast<size_t>(at)]};
            m_end = ST_Place{LineOfRow(row), cols[last] + 1};
            m_hasSelection = true;
            ShowRow(row);
            viewport()->update();
            return true;
        }
        from = forward ? -1 : INT_MAX;
    }
    return false;
}

// ---- scrolling and size

void TConsoleView::SyncScrollBar()
{
    auto *bar = static_cast<TLogScrollBar *>(verticalScrollBar());
    const int lines = static_cast<int>(m_screen.ScrollbackLines());
    m_back = std::min(m_back, static_cast<size_t>(lines));
    m_syncing = true;
    bar->Hold(true);
    bar->setRange(0, lines);
    bar->setPageStep(m_screen.Rows());
    bar->setSingleStep(3);
    bar->setValue(lines - static_cast<int>(m_back));
    bar->Hold(false);
    m_syncing = false;
}

void TConsoleView::scrollContentsBy(int, int)
{
    if (m_syncing)
        return;
    QScrollBar *bar = verticalScrollBar();
    m_back = static_cast<size_t>(std::max(0, bar->maximum() - bar->value()));
    viewport()->update();
}

void TConsoleView::ScrollToBottom()
{
    if (m_back == 0)
        return;
    m_back = 0;
    SyncScrollBar();
    viewport()->update();
}

void TConsoleView::ShowRow(int row)
{
    const int top = -static_cast<int>(m_back);
    if (row < top)
        m_back = static_cast<size_t>(-row);
    else if (row >= top + Rows())
        m_back = static_cast<size_t>(std::max(0, Rows() - 1 - row));
    SyncScrollBar();
}

void TConsoleView::FitScreen()
{
    const int rows = Rows(), cols = Cols();
    if (rows == m_screen.Rows() && cols == m_screen.Cols())
        return;
    const size_t before = m_screen.ScrollbackLines();
    m_screen.Resize(rows, cols);
    // Lines the screen gave back, or pushed up, count as leaving or entering the scrollback.
    const CConsoleScreen::ST_Damage d = m_screen.TakeDamage();
    const size_t after = m_screen.ScrollbackLines();
    m_linesBefore += static_cast<int64_t>(d.PushedLines);
    if (d.PushedLines == 0 && after < before)
        m_linesBefore -= static_cast<int64_t>(before - after);
    m_allDirty = true;
    SyncScrollBar();
    viewport()->update();
}

void TConsoleView::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    FitScreen();
}

void TConsoleView::UpdateFont()
{
    QFont f = font();
    f.setKerning(false);
    f.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
    m_fonts[0] = f;
    m_fonts[1] = f;
    m_fonts[1].setBold(true);
    m_fonts[2] = f;
    m_fonts[2].setItalic(true);
    m_fonts[3] = m_fonts[1];
    m_fonts[3].setItalic(true);
    for (int i = 0; i < 4; ++i)
        m_glyphs[i].SetFont(m_fonts[i]);
    const QFontMetricsF fm(f);
    m_cellW = std::max<qreal>(1, fm.horizontalAdvance(QLatin1Char('M')));
    m_cellH = std::max(1, static_cast<int>(std::ceil(fm.height())));
    m_ascent = static_cast<int>(std::round(fm.ascent()));
    FitScreen();
    viewport()->update();
}

void TConsoleView::changeEvent(QEvent *e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        UpdateFont();
    else if (e->type() == QEvent::PaletteChange)
        viewport()->update();
}

void TConsoleView::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    UpdateRows(m_cursorShown.Row + static_cast<int>(m_back),
               m_cursorShown.Row + static_cast<int>(m_back) + 1);
}

void TConsoleView::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    UpdateRows(m_cursorShown.Row + static_cast<int>(m_back),
               m_cursorShown.Row + static_cast<int>(m_back) + 1);
}

// ---- painting

void TConsoleView::paintEvent(QPaintEvent *e)
{
    QPainter p(viewport());
    const QColor fg = palette().color(QPalette::Text), bg = palette().color(QPalette::Base);
    const QRect area = e->rect();
    p.fillRect(area, bg);
    const int first = std::max(0, area.top() / m_cellH);
    const int last = std::min(Rows(), area.bottom() / m_cellH + 1);
    const int top = -static_cast<int>(m_back);
    for (int v = first; v < last; ++v) {
        const int row = top + v;
        if (row < FirstRow() || row >= m_screen.Rows())
            continue;
        PaintRow(p, row, v * m_cellH, fg, bg);
    }
    if (m_flash) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(area, QColor(255, 255, 255));
    }
}

void TConsoleView::PaintRow(QPainter &p, int row, int y, const QColor &fg, const QColor &bg)
{
    m_screen.RowCells(row, m_cells);
    const ST_ConsolePos cursor = m_screen.Cursor();
    const bool cursorHere = row == cursor.Row && m_screen.CursorVisible();
    const QColor selBg = palette().color(QPalette::Highlight),
                 selFg = palette().color(QPalette::HighlightedText);

    // A run: cells of the same look drawn with one drawText. Characters outside ASCII are drawn
    // one by one at their cells, as fonts seldom give them the cell's exact width.
    QString text;
    std::string &bytes = m_runBytes; // a run of plain cells; a cell of another kind is a run of its own
    bytes.clear();
    bool runPlain = true;
    int runCol = 0;
    QColor runFg, runBg;
    int runFont = 0;
    bool runUnderline = false, runStrike = false;
    int painterFont = -1;
    auto flush = [&](int endCol) {
        if (endCol <= runCol)
            return;
        const qreal x = runCol * m_cellW;
        const QRectF box(x, y, (endCol - runCol) * m_cellW, m_cellH);
        if (runBg != bg)
            p.fillRect(box, runBg);
        const bool blank =
            runPlain ? bytes.find_first_not_of(' ') == std::string::npos : text.trimmed().isEmpty();
        if (!blank || runUnderline || runStrike) {
            p.setPen(runFg);
            // Laying a row's text out cost more than the rest of drawing the screen.
            if (!runPlain || runUnderline || runStrike ||
                !m_glyphs[runFont].Draw(p, QPointF(x, y + m_ascent), bytes.data(), bytes.size(), m_cellW)) {
                const int font = runFont + (runUnderline ? 4 : 0) + (runStrike ? 8 : 0);
                if (font != painterFont) {
                    QFont f = m_fonts[runFont];
                    f.setUnderline(runUnderline);
                    f.setStrikeOut(runStrike);
                    p.setFont(f);
                    painterFont = font;
                }
                if (runPlain)
                    text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
                p.drawText(QPointF(x, y + m_ascent), text);
            }
        }
        text.clear();
        bytes.clear();
        runPlain = true;
    };

    const int cols = static_cast<int>(m_cells.size());
    for (int col = 0; col < cols; ++col) {
        const ST_ConsoleCell &c = m_cells[static_cast<size_t>(col)];
        if (c.Width == 0)
            continue;
        QColor cFg = ToQColor(c.Fg, fg), cBg = ToQColor(c.Bg, bg);
        if (c.Reverse)
            std::swap(cFg, cBg);
        if (Selected(row, col)) {
            cFg = selFg;
            cBg = selBg;
        }
        if (cursorHere && col == cursor.Col && hasFocus())
            std::swap(cFg, cBg);
        const int font = (c.Bold ? 1 : 0) + (c.Italic ? 2 : 0);
        const bool plain = c.Width == 1 && c.Chars[0] < 0x80 && c.Chars[1] == 0;
        if (!plain || cFg != runFg || cBg != runBg || font != runFont || c.Underline != runUnderline ||
            c.Strike != runStrike) {
            flush(col);
            runCol = col;
            runFg = cFg;
            runBg = cBg;
            runFont = font;
            runUnderline = c.Underline;
            runStrike = c.Strike;
        }
        if (plain) {
            bytes += c.Chars[0] ? static_cast<char>(c.Chars[0]) : ' ';
        } else {
            text += c.Chars[0] ? CellText(c) : QStringLiteral(" ");
            runPlain = false;
        }
        if (!plain) {
            flush(col + c.Width);
            runCol = col + c.Width;
            runFg = QColor(); // the next cell starts a run of its own
        }
    }
    flush(cols);

    if (cursorHere && !hasFocus()) {
        p.setPen(fg);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(cursor.Col * m_cellW + 0.5, y + 0.5, m_cellW - 1, m_cellH - 1));
    }
}
