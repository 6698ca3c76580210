#include "mainwindow/features/TRecvChecksum.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TStatusArea.h"
#include "mainwindow/TStatusPanel.h"

#include <QAction>
#include <QSettings>
#include <QStatusBar>
#include <algorithm>
#include <stdexcept>
#include <string>

TRecvChecksum::TRecvChecksum(QWidget *window, TMenuSlots &menus, TStatusArea &status, TTrafficLog &log)
    : QObject(window), m_window(window), m_log(log)
{
    // After the other ways the log shows received data.
    QAction *action =
        menus.AddNew(MenuSlot::ViewReceived, this, "mnuViewCheckChecksum", tr("Check Chec&ksum\u2026"), 100);
    connect(action, &QAction::triggered, this, [this] {
        ST_RecvChecksumChoice choice = m_choice;
        if (!TfrmCheckChecksum::Ask(m_window, choice))
            return;
        m_chosen = true;
        Apply(choice);
    });

    m_panel = new TStatusPanel(status.Bar());
    m_panel->setObjectName(QStringLiteral("stbChecksumPanel"));
    m_panel->setAccessibleName(tr("Checksum counts"));
    m_panel->setFrameShape(QFrame::Panel);
    m_panel->setFrameShadow(QFrame::Sunken);
    m_panel->hide();
    status.AddPermanent(m_panel, TStatusArea::ChecksumRank);
}

TRecvChecksum::~TRecvChecksum() = default;

void TRecvChecksum::Apply(const ST_RecvChecksumChoice &choice)
{
    const bool changed = choice != m_choice;
    m_choice = choice;
    if (!choice.On) {
        m_check.reset();
    } else if (changed || !m_check) {
        try {
            m_check = std::make_unique<CChecksumCheck>(choice.Spec, choice.Cover);
        } catch (const std::invalid_argument &) {
            // Only a hand-edited store gets here: the dialog and the loading refuse such specs.
            m_choice.On = false;
            m_check.reset();
        }
    }
    m_panel->setVisible(m_check != nullptr);
    ShowCounts();
}

void TRecvChecksum::Check(const CCommData &block)
{
    if (!m_check)
        return;
    const uint64_t base = m_log.ReceivedBytes();
    for (const ST_FrameVerdict &v :
         m_check->Feed(block.GetData(), static_cast<size_t>(std::max(0, block.GetLength())))) {
        switch (v.Verdict) {
        case EFrameVerdict::Good:
            break;
        case EFrameVerdict::Bad:
            m_log.MarkReceived(base + v.At, kLogMarkChecksumBad);
            break;
        case EFrameVerdict::TooShort:
            m_log.MarkReceived(base + v.At, kLogMarkChecksumShort);
            break;
        case EFrameVerdict::TooLong:
            m_log.LogNote("Checksum not checked: a line longer than " +
                          std::to_string(CChecksumCheck::kLongestLine / 1024) + " KiB");
            break;
        }
    }
}

void TRecvChecksum::ShowCounts()
{
    if (m_check)
        m_panel->SetCount(QStringLiteral("Checksum: %1 ok, %2 bad").arg(m_check->Good()).arg(m_check->Bad()));
}

void TRecvChecksum::ResetCounts()
{
    if (m_check)
        m_check->ResetCounts();
    ShowCounts();
}

void TRecvChecksum::Load(const QSettings &settings)
{
    if (!settings.contains(QStringLiteral("RecvChecksumOn")))
        return;
    m_chosen = true;
    Apply(LoadRecvChecksumChoice(settings));
}

void TRecvChecksum::Save(QSettings &settings) const
{
    if (m_chosen)
        SaveRecvChecksumChoice(settings, m_choice);
}
