#pragma once
// Modem lines: the DTR and RTS outputs the user sets, a break, and the CTS, DSR, DCD and RI inputs
// shown in the status bar. Drivers without modem lines (a pseudo-terminal) grey them out.
//
// The toggles show what the line does, read back from the driver after the port opens, after
// every change and with every look at the lamps; where the driver has no modem lines, the levels
// the port asked for. A look costs a control transfer on common USB adapters, so the lamps are
// looked at only while a port with modem lines is open, ten times a second, and never through
// the port's event mask (which would look every few milliseconds for the whole session).
#include <QObject>
#include <map>
#include <optional>
#include <string>

class CPortSession;
class QAction;
class QLabel;
class QSettings;
class QTimer;
class QToolButton;
class TFeatureServices;
class TMenuSlots;
class TStatusArea;

class TModemLines : public QObject
{
    Q_OBJECT
public:
    TModemLines(QObject *parent, CPortSession &session, TFeatureServices &services, TMenuSlots &menus,
                TStatusArea &status);

    // The port opened: it gets the output lines the user chose for it before. `port` is the
    // link's port name, which the choices are kept under.
    void PortOpened(const std::string &port);
    // No more looks, and the next open (the same port too) is set up afresh.
    void PortClosed();
    // Modem-line events move the lamps at once.
    void ShowLines();
    void UpdateControls();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

    // Output lines the user chose, per port and kept between runs; a line not chosen keeps what
    // opening gave it.
    struct ST_Choice
    {
        std::optional<bool> dtr;
        std::optional<bool> rts;
    };
    std::map<std::string, ST_Choice> &Choices() { return m_choices; }
    // Runs only while a port with modem lines is open.
    const QTimer &LampTimer() const { return *m_lampTimer; }

private:
    // A toggle that no longer shows what it was set to show was clicked.
    void Toggled();
    bool RtsByDriver() const;

    CPortSession &m_session;
    QAction *m_dtr = nullptr, *m_rts = nullptr, *m_break = nullptr;
    QLabel *m_lamps[4] = {}; // CTS, DSR, DCD, RI
    QTimer *m_lampTimer = nullptr;
    std::map<std::string, ST_Choice> m_choices;
    std::string m_openPort; // the port the line controls were last set up for
    bool m_linesWork = false;
    bool m_shownDtr = false, m_shownRts = false; // what the toggles were last set to show
};
