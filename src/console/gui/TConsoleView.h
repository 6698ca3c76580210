#pragma once
// The console: a terminal screen in place of the traffic log, for a device's shell. Keys go to
// the device as they are pressed (ConsoleKeyBytes); what the device sends is drawn through the
// emulator (CConsoleScreen) at most once a display frame, only where it changed, in the widget's
// font (the log's). A few Ctrl+Shift chords stay the window's; every other key is the device's.
#include "console/consolekeys.h"
#include "console/consolescreen.h"

#include <QAbstractScrollArea>
#include <QTimer>
#include <cstdint>
#include <vector>

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

private:
    CConsoleScreen m_screen;
    ST_ConsoleKeySettings m_keys;
    bool m_localEcho = false;
};
