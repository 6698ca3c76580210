// Modem lines: the DTR and RTS outputs the user sets, a break, and the CTS, DSR, DCD and RI
// inputs shown in the status bar. Drivers without modem lines (a pseudo-terminal) grey them out.
#include "Serial/SerialWnd.h"
#include "app/MainWindow.h"
#include "app/MainWindowExtras.h"

#include <QAction>
#include <QLabel>

namespace {

constexpr uint32_t kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

} // namespace

// Runs whenever the port-dependent commands are brought up to date; a port that was opened since
// gets the output lines the user chose for it before, and its modem events.
void TfrmMain::ApplyLineControl()
{
    TfrmMainExtras &x = *m_extras;
    const bool open = IsPortOpen();
    const std::string port = open && m_lastLink ? m_lastLink->PortName : std::string();
    if (port != x.openPort) {
        x.openPort = port;
        x.modemLinesWork = open && m_port->HasModemLines();
        TfrmMainExtras::Lines lines;
        if (x.modemLinesWork) {
            m_port->SetMask(m_port->GetEventMask() | kModemEvents);
            if (const auto chosen = x.lines.find(port); chosen != x.lines.end()) {
                lines = chosen->second;
                m_port->SetDTR(lines.dtr);
                m_port->SetRTS(lines.rts);
            }
        }
        x.mnuOpDTR->setChecked(x.modemLinesWork && lines.dtr);
        x.mnuOpRTS->setChecked(x.modemLinesWork && lines.rts);
    } else if (x.modemLinesWork) {
        TfrmMainExtras::Lines &lines = x.lines[port];
        const TfrmMainExtras::Lines wanted{x.mnuOpDTR->isChecked(), x.mnuOpRTS->isChecked()};
        if (wanted.dtr != lines.dtr)
            m_port->SetDTR(wanted.dtr);
        if (wanted.rts != lines.rts)
            m_port->SetRTS(wanted.rts);
        lines = wanted;
    }
    x.mnuOpDTR->setEnabled(x.modemLinesWork);
    x.mnuOpRTS->setEnabled(x.modemLinesWork);
    ShowModemLines();
}

void TfrmMain::ShowModemLines()
{
    TfrmMainExtras &x = *m_extras;
    const bool work = x.modemLinesWork && IsPortOpen();
    const bool on[4] = {work && m_port->GetCTS(), work && m_port->GetDSR(), work && m_port->GetRLSD(),
                        work && m_port->GetRING()};
    static const char *const names[4] = {"CTS", "DSR", "DCD", "RI"};
    for (int i = 0; i < 4; ++i) {
        QLabel *label = x.modemLines[i];
        label->setEnabled(work);
        // Only an open port has lines to show; hidden otherwise, so the closed window keeps its
        // first size.
        label->setVisible(IsPortOpen());
        // Shown as a lamp: a line that is on is drawn on a green ground.
        label->setStyleSheet(on[i] ? QStringLiteral("background-color: #40c040;") : QString());
        label->setToolTip(QString::fromLatin1(names[i]) +
                          (work ? (on[i] ? QStringLiteral(": on") : QStringLiteral(": off"))
                                : QStringLiteral(": not available")));
        label->setAccessibleDescription(label->toolTip());
    }
}
