// Checking the checksum that received frames carry: View > Check Checksum, the mark on the log
// line of a bad frame and the counts in the status bar. Off, it leaves the log and the settings as
// they were.
#include "log/gui/TTrafficLog.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TStatusPanel.h"
#include "mainwindow/TfrmMain.h"
#include "recdata/gui/TfrmCheckChecksum.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <algorithm>
#include <stdexcept>
#include <string>

void TfrmMain::ConnectChecksumCheck()
{
    TfrmMainExtras &x = *m_extras;
    // After the other ways the log shows received data.
    QAction *before =
        ui.mnuView->actions().value(ui.mnuView->actions().indexOf(x.mnuViewAnsi->menuAction()) + 1);
    x.mnuViewCheckChecksum = new QAction(QStringLiteral("Check Chec&ksum\u2026"), ui.mnuView);
    x.mnuViewCheckChecksum->setObjectName(QStringLiteral("mnuViewCheckChecksum"));
    ui.mnuView->insertAction(before, x.mnuViewCheckChecksum);
    connect(x.mnuViewCheckChecksum, &QAction::triggered, this, [this] {
        ST_RecvChecksumChoice choice = m_extras->recvChecksum;
        if (!TfrmCheckChecksum::Ask(this, choice))
            return;
        m_extras->recvChecksumChosen = true;
        ApplyRecvChecksum(choice);
    });

    x.stbChecksumPanel = new TStatusPanel(ui.stbComStatus);
    x.stbChecksumPanel->setObjectName(QStringLiteral("stbChecksumPanel"));
    x.stbChecksumPanel->setAccessibleName(QStringLiteral("Checksum counts"));
    x.stbChecksumPanel->setFrameShape(QFrame::Panel);
    x.stbChecksumPanel->setFrameShadow(QFrame::Sunken);
    x.stbChecksumPanel->hide(); // hidden before it joins the bar, so it never widens it
    ui.stbComStatus->addPermanentWidget(x.stbChecksumPanel);
}

// Counts of another checksum or another kind of frame mean nothing for the new one: a change
// starts them again, and drops a line begun under the old check with it.
void TfrmMain::ApplyRecvChecksum(const ST_RecvChecksumChoice &choice)
{
    TfrmMainExtras &x = *m_extras;
    const bool changed = choice != x.recvChecksum;
    x.recvChecksum = choice;
    if (!choice.On) {
        x.checksumCheck.reset();
    } else if (changed || !x.checksumCheck) {
        try {
            x.checksumCheck = std::make_unique<CChecksumCheck>(choice.Spec, choice.Cover);
        } catch (const std::invalid_argument &) {
            // Only a hand-edited store gets here: the dialog and the loading refuse such specs.
            x.recvChecksum.On = false;
            x.checksumCheck.reset();
        }
    }
    x.stbChecksumPanel->setVisible(x.checksumCheck != nullptr);
    ShowChecksumCounts();
}

void TfrmMain::CheckReceivedChecksum(const CCommData &item)
{
    CChecksumCheck *check = m_extras ? m_extras->checksumCheck.get() : nullptr;
    if (!check)
        return;
    const uint64_t base = ui.edData->ReceivedBytes();
    for (const ST_FrameVerdict &v :
         check->Feed(item.GetData(), static_cast<size_t>(std::max(0, item.GetLength())))) {
        switch (v.Verdict) {
        case EFrameVerdict::Good:
            break;
        case EFrameVerdict::Bad:
            ui.edData->MarkReceived(base + v.At, kLogMarkChecksumBad);
            break;
        case EFrameVerdict::TooShort:
            ui.edData->MarkReceived(base + v.At, kLogMarkChecksumShort);
            break;
        case EFrameVerdict::TooLong:
            ui.edData->LogNote("Checksum not checked: a line longer than " +
                               std::to_string(CChecksumCheck::kLongestLine / 1024) + " KiB");
            break;
        }
    }
}

void TfrmMain::ShowChecksumCounts()
{
    if (!m_extras || !m_extras->checksumCheck)
        return;
    const CChecksumCheck &check = *m_extras->checksumCheck;
    m_extras->stbChecksumPanel->SetCount(
        QStringLiteral("Checksum: %1 ok, %2 bad").arg(check.Good()).arg(check.Bad()));
}

void TfrmMain::ResetChecksumCounts()
{
    if (m_extras && m_extras->checksumCheck)
        m_extras->checksumCheck->ResetCounts();
    ShowChecksumCounts();
}

void TfrmMain::LoadChecksumCheck(const QSettings &settings)
{
    if (!settings.contains(QStringLiteral("RecvChecksumOn")))
        return;
    m_extras->recvChecksumChosen = true;
    ApplyRecvChecksum(LoadRecvChecksumChoice(settings));
}

void TfrmMain::SaveChecksumCheck(QSettings &settings) const
{
    if (m_extras->recvChecksumChosen)
        SaveRecvChecksumChoice(settings, m_extras->recvChecksum);
}
