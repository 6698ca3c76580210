#include "mainwindow/features/TFramingCommands.h"
#include "frame/gui/TFramingStore.h"
#include "platform/appfolder.h"
#include "platform/gui/coretext.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <stdexcept>

TFramingCommands::TFramingCommands(QWidget *window, CPortSession &session, TFeatureServices &services,
                                   TMenuSlots &menus, std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_showMessage(std::move(showMessage))
{
    // The monitor's sides are framed without this feature: their decoders find their files too.
    session.Decoding().SetProfileFolder(AppFolder());
    // Without a key: every letter of its name has one in this menu already.
    QAction *open = menus.AddNew(this, "mnuViewFraming", tr("Framing..."));
    connect(open, &QAction::triggered, this, [this] {
        if (m_dialog.isNull())
            m_dialog = new TfrmFramingProfiles(m_window, [this] { return Blocks(); });
        else if (!m_dialog->isVisible())
            m_dialog->Reload();
        m_dialog->SetLink(m_link);
        m_dialog->show();
        m_dialog->raise();
        m_dialog->activateWindow();
    });
    connect(&services, &TFeatureServices::PortOpened, this, [this](const COM_PORT_SETTING &link) {
        m_link = link;
        if (m_dialog)
            m_dialog->SetLink(m_link);
        Apply();
    });
    connect(&services, &TFeatureServices::PortClosed, this, [this] {
        m_link.reset();
        if (m_dialog)
            m_dialog->SetLink(m_link);
    });
    // A choice saved in any window frames this one's link by it at once.
    // A choice saved in any window frames this one's link by it at once; a save that leaves the
    // link's profile as it was does not cut the frame under way.
    connect(&TFramingStore::Instance(), &TFramingStore::Changed, this, [this] {
        if (m_link && Wanted() != m_session.Frames().Profile())
            Apply();
    });
    session.Traffic().Add("framing preview", [this](ST_Traffic &event) {
        if (event.Direction == ETraffic::Received && !event.Transfer)
            Keep(event.Data.GetData(), static_cast<size_t>(event.Data.GetLength()), event.SteadyMs);
    });
}

std::optional<ST_FramingProfile> TFramingCommands::Wanted() const
{
    std::optional<ST_FramingProfile> profile = TFramingStore::Instance().Choices().ForLink(m_link->LinkName);
    if (profile)
        *profile = ResolveFloor(*profile, m_link->PortName);
    return profile;
}

void TFramingCommands::Apply()
{
    const QString error = TFramingStore::Instance().Error();
    if (!error.isEmpty())
        m_showMessage(error);
    try {
        // A Lua decoder's file lies beside the profiles file.
        m_session.Decoding().SetProfileFolder(AppFolder());
        m_session.Frames().SetProfile(Wanted(), LineTimingOf(*m_link));
    } catch (const std::invalid_argument &x) {
        m_showMessage(CoreText(x.what()));
    }
}

void TFramingCommands::Keep(const uint8_t *data, size_t size, int64_t steadyMs)
{
    if (size == 0)
        return;
    const size_t take = std::min(size, kPreviewBytes);
    m_kept.push_back({std::vector<uint8_t>(data + size - take, data + size),
                      std::chrono::duration_cast<FrameTime>(std::chrono::milliseconds(steadyMs))});
    m_keptBytes += take;
    while (m_keptBytes > kPreviewBytes) {
        m_keptBytes -= m_kept.front().Bytes.size();
        m_kept.pop_front();
    }
    if (m_dialog)
        m_dialog->BlocksChanged();
}

std::vector<ST_PreviewBlock> TFramingCommands::Blocks() const
{
    return {m_kept.begin(), m_kept.end()};
}
