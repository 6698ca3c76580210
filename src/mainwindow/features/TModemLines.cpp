#include "mainwindow/features/TModemLines.h"
#include "data/gui/dialogsupport.h"
#include "platform/gui/settingvalue.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// "<DTR><RTS> <port>" for each port whose lines the user set.
const TSettingValue<QStringList> kOutputLines("OutputLines", QStringList());

const char *const kLampNames[4] = {"CTS", "DSR", "DCD", "RI"};

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

TModemLines::TModemLines(QObject *parent, CPortSession &session, TFeatureServices &services,
                         TMenuSlots &menus, TStatusArea &status)
    : QObject(parent), m_session(session)
{
    connect(&services, &TFeatureServices::PortOpened, this,
            [this](const COM_PORT_SETTING &link) { PortOpened(link.PortName); });
    connect(&services, &TFeatureServices::PortClosed, this, &TModemLines::PortClosed);
    m_dtr = menus.AddNew(this, "mnuOpDTR", tr("&DTR"), true);
    m_rts = menus.AddNew(this, "mnuOpRTS", tr("&RTS"), true);
    m_break = menus.AddNew(this, "mnuOpSendBreak", tr("Send &Break"));
    const struct
    {
        QAction *action;
        const char *button, *text, *tip;
    } lines[] = {{m_dtr, "btnDTR", "DTR", QT_TR_NOOP("DTR line")},
                 {m_rts, "btnRTS", "RTS", QT_TR_NOOP("RTS line")},
                 {m_break, "btnSendBreak", "BRK", QT_TR_NOOP("Send Break")}};
    for (const auto &line : lines) {
        QToolButton *button =
            MakeToolButton(nullptr, line.button, QString::fromLatin1(line.text), tr(line.tip));
        menus.AddWidget(button);
        button->setDefaultAction(line.action);
        if (line.action->isCheckable())
            button->setToolTip(tr(line.tip));
    }
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(QString::fromLatin1(kLampNames[i]), status.Bar());
        label->setObjectName(QStringLiteral("lb") + QString::fromLatin1(kLampNames[i]));
        label->setAccessibleName(QString::fromLatin1(kLampNames[i]));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(28);
        label->setEnabled(false);
        label->hide(); // until a port is open
        status.AddPermanent(label);
        m_lamps[i] = label;
    }
    m_lampTimer = new QTimer(this);
    m_lampTimer->setInterval(CLineEvents::kLookMs);
    connect(m_lampTimer, &QTimer::timeout, this, &TModemLines::ShowLines);
    connect(m_dtr, &QAction::triggered, this, &TModemLines::Toggled);
    connect(m_rts, &QAction::triggered, this, &TModemLines::Toggled);
    // The break goes out on the sender thread, after what was queued before it: the window never
    // waits the quarter second, and Close Port ends it early like any send.
    connect(m_break, &QAction::triggered, this, [this] { m_session.SendBreak(250); });
    m_dtr->setEnabled(false);
    m_rts->setEnabled(false);
}

// With RTS/CTS flow control the driver moves RTS: the user's choice is not forced on it.
bool TModemLines::RtsByDriver() const
{
    return m_session.IsOpen() && m_session.Device().GetHandshaking() == CSerial::HardwareHandshake;
}

void TModemLines::PortOpened(const std::string &port)
{
    CSerial &device = m_session.Device();
    m_openPort = port;
    m_linesWork = m_session.IsOpen() && device.HasModemLines();
    const bool rtsByDriver = RtsByDriver();
    if (const auto chosen = m_choices.find(port); m_linesWork && chosen != m_choices.end()) {
        if (chosen->second.dtr)
            device.SetDTR(*chosen->second.dtr);
        if (chosen->second.rts && !rtsByDriver)
            device.SetRTS(*chosen->second.rts);
    }
    if (m_linesWork)
        m_lampTimer->start();
    else
        m_lampTimer->stop();
    m_dtr->setEnabled(m_linesWork);
    m_rts->setEnabled(m_linesWork && !rtsByDriver);
    ShowLines();
}

void TModemLines::Toggled()
{
    if (!m_linesWork)
        return;
    CSerial &device = m_session.Device();
    if (m_dtr->isChecked() != m_shownDtr) {
        m_choices[m_openPort].dtr = m_dtr->isChecked();
        device.SetDTR(m_dtr->isChecked());
    }
    if (m_rts->isChecked() != m_shownRts && !RtsByDriver()) {
        m_choices[m_openPort].rts = m_rts->isChecked();
        device.SetRTS(m_rts->isChecked());
    }
    ShowLines();
}

void TModemLines::PortClosed()
{
    m_lampTimer->stop();
    m_openPort.clear();
    m_linesWork = false;
    m_dtr->setEnabled(false);
    m_rts->setEnabled(false);
    ShowLines();
}

void TModemLines::UpdateControls()
{
    // The sender is a file transfer's until it ends: a break would wait behind it.
    m_break->setEnabled(m_session.IsOpen() && !m_session.TransferRunning());
}

void TModemLines::ShowLines()
{
    const bool open = m_session.IsOpen();
    const bool work = m_linesWork && open;
    ST_ModemLines now;
    if (work) {
        // A driver that stops answering is not asked ten times a second (the log has its line).
        if (!m_session.Device().GetModemLines(&now))
            m_lampTimer->stop();
        else
            m_session.ModemLinesSeen(now);
    } else if (open) {
        // No lines to read back: what the port asked for (flow control None raises both, Xon/Xoff
        // drops both).
        const ST_Dcb dcb = m_session.Device().GetDcb();
        now.Dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
        now.Rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    }
    m_shownDtr = now.Dtr;
    m_shownRts = now.Rts;
    m_dtr->setChecked(now.Dtr);
    m_rts->setChecked(now.Rts);

    const bool on[4] = {now.Cts, now.Dsr, now.Dcd, now.Ring};
    for (int i = 0; i < 4; ++i) {
        QLabel *label = m_lamps[i];
        label->setEnabled(work);
        // Only an open port has lines to show; hidden otherwise, so the closed window keeps its
        // first size.
        label->setVisible(open);
        // Shown as a lamp: a line that is on is drawn on a green ground. Set only when it changes,
        // as every new style sheet costs a restyle.
        const QString style = on[i] ? QStringLiteral("background-color: #40c040;") : QString();
        if (label->styleSheet() != style)
            label->setStyleSheet(style);
        label->setToolTip(QString::fromLatin1(kLampNames[i]) +
                          (work ? (on[i] ? tr(": on") : tr(": off")) : tr(": not available")));
        label->setAccessibleDescription(label->toolTip());
    }
}

// One text per port: the DTR and RTS choices ('1' on, '0' off, '-' not chosen), a space and the
// port name as the link has it.
void TModemLines::Load(const QSettings &settings)
{
    m_choices.clear();
    for (const QString &entry : kOutputLines.Read(settings)) {
        const std::string text = entry.toLatin1().toStdString();
        ST_Choice choice;
        if (text.size() > 3 && text[2] == ' ' && ReadChoice(text[0], choice.dtr) &&
            ReadChoice(text[1], choice.rts))
            m_choices[text.substr(3)] = choice;
    }
}

void TModemLines::Save(QSettings &settings) const
{
    QStringList entries;
    for (const auto &[port, choice] : m_choices)
        entries << QString::fromLatin1(std::string{ChoiceChar(choice.dtr), ChoiceChar(choice.rts), ' '} +
                                       port);
    kOutputLines.Write(settings, entries);
}
