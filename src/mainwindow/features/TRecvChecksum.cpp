#include "mainwindow/features/TRecvChecksum.h"
#include "log/gui/TTrafficLog.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TStatusArea.h"
#include "shell/TStatusPanel.h"

#include <QAction>
#include <QSettings>
#include <QStatusBar>
#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

const char kLinks[] = "RecvChecksumLinks";

} // namespace

TRecvChecksum::TRecvChecksum(QWidget *window, TMenuSlots &menus, TStatusArea &status, TTrafficLog &log,
                             TFeatureServices &services)
    : QObject(window), m_window(window), m_log(log), m_services(services)
{
    // After the other ways the log shows received data.
    QAction *action = menus.AddNew(this, "mnuViewCheckChecksum", tr("Check Chec&ksum\u2026"));
    connect(action, &QAction::triggered, this, [this] {
        ST_RecvChecksumChoice choice = m_choice;
        if (!TfrmCheckChecksum::Ask(m_window, choice))
            return;
        m_links[m_link] = choice;
        Apply(choice);
    });
    connect(&services, &TFeatureServices::PortOpened, this,
            [this](const COM_PORT_SETTING &link) { UseLink(link.LinkName); });
    // The counts of the check stand beside the received counters and change with them.
    connect(&services, &TFeatureServices::CountShown, this, &TRecvChecksum::ShowCounts);

    m_panel = new TStatusPanel(status.Bar());
    m_panel->setObjectName(QStringLiteral("stbChecksumPanel"));
    m_panel->setAccessibleName(tr("Checksum counts"));
    m_panel->setFrameShape(QFrame::Panel);
    m_panel->setFrameShadow(QFrame::Sunken);
    m_panel->hide();
    status.AddPermanent(m_panel);
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

void TRecvChecksum::UseLink(const std::string &linkName)
{
    if (linkName == m_link)
        return;
    const bool first = m_link.empty();
    m_link = linkName;
    auto found = m_links.find(linkName);
    if (found == m_links.end() && first) {
        const auto unlinked = m_links.find(std::string());
        if (unlinked != m_links.end()) {
            found = m_links.emplace(linkName, unlinked->second).first;
            m_links.erase(unlinked);
        }
    }
    // Another device: neither the counts nor a line begun are its own.
    m_check.reset();
    Apply(found != m_links.end() ? found->second : ST_RecvChecksumChoice());
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
        m_panel->SetCount(tr("Checksum: %1 ok, %2 bad").arg(m_check->Good()).arg(m_check->Bad()));
}

void TRecvChecksum::ResetCounts()
{
    if (m_check)
        m_check->ResetCounts();
    ShowCounts();
}

void TRecvChecksum::Load(const QSettings &settings)
{
    m_links.clear();
    m_link = m_services.Port().LastLink() ? m_services.Port().LastLink()->LinkName : std::string();
    // The keys SaveLinks' array has: "<array>/size", "<array>/<1..size>/<value>".
    const QString array = QLatin1String(kLinks) + QLatin1Char('/');
    if (settings.contains(array + QStringLiteral("size"))) {
        const int count = settings.value(array + QStringLiteral("size")).toInt();
        for (int i = 1; i <= count; ++i) {
            const QString entry = array + QString::number(i) + QLatin1Char('/');
            m_links[settings.value(entry + QStringLiteral("Link")).toString().toLatin1().toStdString()] =
                LoadRecvChecksumChoice(settings, entry);
        }
    } else if (settings.contains(QStringLiteral("RecvChecksumOn"))) {
        m_links[m_link] = LoadRecvChecksumChoice(settings);
    }
    const auto found = m_links.find(m_link);
    Apply(found != m_links.end() ? found->second : ST_RecvChecksumChoice());
}

void TRecvChecksum::Save(QSettings &settings) const
{
    if (!m_links.empty())
        SaveRecvChecksumChoice(settings, m_choice);
}

void TRecvChecksum::SaveLinks(QSettings &settings) const
{
    if (m_links.empty())
        return;
    settings.remove(QLatin1String(kLinks));
    settings.beginWriteArray(QLatin1String(kLinks), static_cast<int>(m_links.size()));
    int i = 0;
    for (const auto &[name, choice] : m_links) {
        settings.setArrayIndex(i++);
        settings.setValue(QStringLiteral("Link"), QString::fromLatin1(name));
        SaveRecvChecksumChoice(settings, choice);
    }
    settings.endArray();
}
