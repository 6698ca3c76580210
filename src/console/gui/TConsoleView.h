#pragma once
// The console: a terminal screen in place of the traffic log, for a device's shell. Keys go to
// the device as they are pressed (ConsoleKeyBytes); what the device sends is drawn through the
// emulator (CConsoleScreen) at most once a display frame, only where it changed, in the widget's
// font (the log's). A few Ctrl+Shift chords and the zoom's Ctrl chords stay the window's; every
// other key is the device's.
#include "console/consolekeys.h"
#include "console/consolescreen.h"
#include "log/gui/TLogGlyphs.h"
#include "platform/gui/TTextSelectMouse.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class QMenu;

class TConsoleView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TConsoleView(QWidget *parent = nullptr);
    ~TConsoleView() override;

    // Bytes from the device.
    void Feed(const uint8_t *bytes, size_t count);
    void SetUtf8(bool on); // the window's text encoding: UTF-8, else Latin-1
    void SetKeySettings(const ST_ConsoleKeySettings &settings);
    const ST_ConsoleKeySettings &KeySettings() const { return m_keys; }
    void SetScrollbackLines(size_t lines);
    // Typed text is also drawn here, for devices that do not echo.
    void SetLocalEcho(bool on);
    bool LocalEcho() const { return m_localEcho; }
    // A pause after each pasted character and line, for devices without flow control.
    void SetPasteDelays(int charMs, int lineMs);

    // The size the console's area shows.
    int Rows() const;
    int Cols() const;
    const CConsoleScreen &Screen() const { return m_screen; }
    // Types "stty rows R cols C" and Enter.
    void SendSize();
    void Copy();
    // Asks first when the clipboard holds several lines.
    void Paste();
    // Finds `text` in the scrollback and the screen from the selection on, selects and shows it.
    bool Find(const QString &text, bool forward, bool caseSensitive);
    QString SelectedText() const;
    void ClearScrollback();
    // The context menu's commands: Copy, Paste, Send Size, Local Echo and Clear Scrollback.
    QMenu *CreateContextMenu(QWidget *parent);

signals:
    // For the device: the bytes of typed keys and pasted text (`typed`), or the terminal's own
    // answers (not typed).
    void ToDevice(const std::vector<uint8_t> &bytes, bool typed);
    // The chords that stay the window's.
    void LeaveAsked();   // back to the log
    void MenuBarAsked(); // the menu bar takes the keyboard
    void FindAsked();
    void HelpAsked();
    void Bell();

protected:
    bool event(QEvent *e) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    // A place in the console's text that stays put while lines scroll by: lines are counted from
    // the first one ever shown.
    using ST_Place = ST_TextPlace;
    struct ST_PasteUnit
    {
        std::string Bytes;
        bool LineEnd = false;
    };

    bool Chord(const QKeyEvent *e);
    void Typed(const std::string &bytes, const std::string &echo);
    std::string Encode(const QString &text) const;
    void TakeScreenChanges();
    void Frame();
    // How long a change waits to be drawn: longer while output streams or floods.
    int FrameMs() const;
    void Flash();
    void PasteStep();
    void FitScreen();
    void SyncScrollBar();
    void ScrollToBottom();
    void ShowRow(int row);
    void UpdateRows(int firstVisible, int endVisible);
    void UpdateFont();
    int RowOfLine(int64_t line) const { return static_cast<int>(line - m_linesBefore); }
    int64_t LineOfRow(int row) const { return m_linesBefore + row; }
    int FirstRow() const { return -static_cast<int>(m_screen.ScrollbackLines()); }
    ST_Place PlaceAt(const QPoint &pos) const;
    bool Selected(int row, int col) const;
    TTextSpan WordAt(const ST_Place &at) const;
    // A row's text, one character per cell, the right halves of wide characters left out;
    // `cols` gets each character's column.
    QString RowString(int row, std::vector<int> *cols) const;
    void PaintRow(QPainter &p, int row, int y, const QColor &fg, const QColor &bg);

    CConsoleScreen m_screen;
    ST_ConsoleKeySettings m_keys;
    bool m_localEcho = false;
    bool m_utf8 = true;

    QTimer m_frame; // one paint a frame, while something changed
    QElapsedTimer m_sinceFrame;
    int m_streamFrames = 0;        // frames in a row that followed each other closely
    size_t m_pushedSinceFrame = 0; // lines scrolled into the scrollback since the last frame
    bool m_flooded = false;        // the last frame's lines filled the screen
    QTimer m_paceTimer;            // paste pacing
    QTimer m_flashTimer;
    bool m_flash = false;
    std::deque<ST_PasteUnit> m_paste;
    int m_charMs = 0, m_lineMs = 0;

    // Changes since the last frame.
    int m_dirtyFirst = 0, m_dirtyEnd = 0;
    bool m_allDirty = false;
    ST_ConsolePos m_cursorShown;

    int64_t m_linesBefore = 0; // lines ever pushed into the scrollback: row 0's line number
    size_t m_back = 0;         // lines scrolled back from the screen
    bool m_syncing = false;

    TTextSelectMouse *m_mouse = nullptr;
    bool m_hasSelection = false;
    ST_Place m_anchor, m_end;

    qreal m_cellW = 8;
    int m_cellH = 16;
    int m_ascent = 12;
    QFont m_fonts[4]; // plain, bold, italic, bold italic
    // The same, for runs of ASCII: drawn by glyph, without laying the text out.
    TLogGlyphs m_glyphs[4];
    std::string m_runBytes;
    std::vector<ST_ConsoleCell> m_cells;
};
