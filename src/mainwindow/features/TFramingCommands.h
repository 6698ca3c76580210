#pragma once
// View > Framing...: the profiles dialog, and the open link framed by the profile chosen for it.
// A link with none frames nothing, so a window whose user never chose a profile does no framing
// work at all. The dialog's preview is fed from the last bytes the window received, kept here
// with the time of their read.
#include "frame/gui/TfrmFramingProfiles.h"
#include "link/linksetting.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <optional>

class CPortSession;
class QWidget;
class TFeatureServices;
class TMenuSlots;

class TFramingCommands : public QObject
{
    Q_OBJECT
public:
    // What the preview frames: the latest received bytes up to this much.
    static constexpr size_t kPreviewBytes = 16 * 1024;

    TFramingCommands(QWidget *window, CPortSession &session, TFeatureServices &services, TMenuSlots &menus,
                     std::function<void(const QString &)> showMessage);

private:
    // Frames the open link by its profile, as saved now; nothing when it has none.
    void Apply();
    std::optional<ST_FramingProfile> Wanted() const;
    void Keep(const uint8_t *data, size_t size, int64_t steadyMs);
    std::vector<ST_PreviewBlock> Blocks() const;

    QWidget *m_window;
    CPortSession &m_session;
    std::function<void(const QString &)> m_showMessage;
    std::optional<COM_PORT_SETTING> m_link;
    std::deque<ST_PreviewBlock> m_kept;
    size_t m_keptBytes = 0;
    QPointer<TfrmFramingProfiles> m_dialog;
};
