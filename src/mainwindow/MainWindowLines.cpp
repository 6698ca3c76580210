// Modem lines: the DTR and RTS outputs the user sets, a break, and the CTS, DSR, DCD and RI
// inputs shown in the status bar. Drivers without modem lines (a pseudo-terminal) grey them out.
//
// The toggles show what the line does, read back from the driver after the port opens, after
// every change and with every look at the lamps; where the driver has no modem lines, the levels
// the port asked for. A look costs a control transfer on common USB adapters, so the lamps are
// looked at only while a port with modem lines is open, ten times a second, and never through
// the port's event mask (which would look every few milliseconds for the whole session).
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TfrmMain.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QStringList>

namespace {

constexpr int kLampLookMs = 100;

char ChoiceChar(const std::optional<bool> &choice)
{
    return !choice ? '-' : *choice ? '1' : '0';
}

bool ReadChoice(char c, std::optional<bool> &choice)
{
    if (c == '-')
        choice.reset();
    else if (c == '0' || c == '1')
        choice = c == '1';
    else
        return false;
    return true;
}

} // namespace

// Runs whenever the port-dependent commands are brought up to date, and when a toggle is clicked.
// A port that was opened since gets the output lines the user chose for it before.
void TfrmMain::ApplyLineControl()
{
    TfrmMainExtras &x = *m_extras;
    CSerial &device = m_session->Device();
    const bool open = IsPortOpen();
    const std::string port = open && m_lastLink ? m_lastLink->PortName : std::string();
    // With RTS/CTS flow control the driver moves RTS: the user's choice is not forced on it.
    const bool rtsByDriver = open && device.GetHandshaking() == CSerial::HardwareHandshake;
    bool changed = false;
    if (port != x.openPort) {
        changed = true;
        x.openPort = port;
        x.modemLinesWork = open && device.HasModemLines();
        if (const auto chosen = x.lines.find(port); x.modemLinesWork && chosen != x.lines.end()) {
            if (chosen->second.dtr)
                device.SetDTR(*chosen->second.dtr);
            if (chosen->second.rts && !rtsByDriver)
                device.SetRTS(*chosen->second.rts);
        }
        if (x.lampTimer == nullptr) {
            x.lampTimer = new QTimer(this);
            x.lampTimer->setInterval(kLampLookMs);
            connect(x.lampTimer, &QTimer::timeout, this, &TfrmMain::ShowModemLines);
        }
        if (x.modemLinesWork)
            x.lampTimer->start();
        else
            x.lampTimer->stop();
    } else if (x.modemLinesWork) {
        // A toggle that no longer shows what it was set to show was clicked.
        if (x.mnuOpDTR->isChecked() != x.shownDtr) {
            x.lines[port].dtr = x.mnuOpDTR->isChecked();
            device.SetDTR(x.mnuOpDTR->isChecked());
            changed = true;
        }
        if (x.mnuOpRTS->isChecked() != x.shownRts && !rtsByDriver) {
            x.lines[port].rts = x.mnuOpRTS->isChecked();
            device.SetRTS(x.mnuOpRTS->isChecked());
            changed = true;
        }
    }
    x.mnuOpDTR->setEnabled(x.modemLinesWork);
    x.mnuOpRTS->setEnabled(x.modemLinesWork && !rtsByDriver);
    if (changed)
        ShowModemLines();
}

// The port closed: no more looks, and the next open (the same port too) is set up afresh.
void TfrmMain::LineControlClosed()
{
    TfrmMainExtras &x = *m_extras;
    if (x.lampTimer != nullptr)
        x.lampTimer->stop();
    x.openPort.clear();
    x.modemLinesWork = false;
    x.mnuOpDTR->setEnabled(false);
    x.mnuOpRTS->setEnabled(false);
    ShowModemLines();
}

void TfrmMain::ShowModemLines()
{
    TfrmMainExtras &x = *m_extras;
    const bool open = IsPortOpen();
    const bool work = x.modemLinesWork && open;
    ST_ModemLines now;
    if (work) {
        // A driver that stops answering is not asked ten times a second (the log has its line).
        if (!m_session->Device().GetModemLines(&now))
            x.lampTimer->stop();
    } else if (open) {
        // No lines to read back: what the port asked for (flow control None raises both, Xon/Xoff
        // drops both).
        const ST_Dcb dcb = m_session->Device().GetDcb();
        now.Dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
        now.Rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    }
    x.shownDtr = now.Dtr;
    x.shownRts = now.Rts;
    x.mnuOpDTR->setChecked(now.Dtr);
    x.mnuOpRTS->setChecked(now.Rts);

    const bool on[4] = {now.Cts, now.Dsr, now.Dcd, now.Ring};
    static const char *const names[4] = {"CTS", "DSR", "DCD", "RI"};
    for (int i = 0; i < 4; ++i) {
        QLabel *label = x.modemLines[i];
        label->setEnabled(work);
        // Only an open port has lines to show; hidden otherwise, so the closed window keeps its
        // first size.
        label->setVisible(open);
        // Shown as a lamp: a line that is on is drawn on a green ground. Set only when it changes,
        // as every new style sheet costs a restyle.
        const QString style = on[i] ? QStringLiteral("background-color: #40c040;") : QString();
        if (label->styleSheet() != style)
            label->setStyleSheet(style);
        label->setToolTip(QString::fromLatin1(names[i]) +
                          (work ? (on[i] ? QStringLiteral(": on") : QStringLiteral(": off"))
                                : QStringLiteral(": not available")));
        label->setAccessibleDescription(label->toolTip());
    }
}

// One text per port: the DTR and RTS choices ('1' on, '0' off, '-' not chosen), a space and the
// port name as the link has it.
void TfrmMain::LoadLineChoices(const QSettings &settings)
{
    TfrmMainExtras &x = *m_extras;
    x.lines.clear();
    for (const QString &entry : settings.value(QStringLiteral("OutputLines")).toStringList()) {
        const std::string text = entry.toLatin1().toStdString();
        TfrmMainExtras::Lines lines;
        if (text.size() > 3 && text[2] == ' ' && ReadChoice(text[0], lines.dtr) &&
            ReadChoice(text[1], lines.rts))
            x.lines[text.substr(3)] = lines;
    }
}

void TfrmMain::SaveLineChoices(QSettings &settings) const
{
    QStringList entries;
    for (const auto &[port, lines] : m_extras->lines)
        entries << QString::fromLatin1(std::string{ChoiceChar(lines.dtr), ChoiceChar(lines.rts), ' '} + port);
    settings.setValue(QStringLiteral("OutputLines"), entries);
}
