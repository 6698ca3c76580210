#include "mainwindow/features/TFramesCommands.h"

#include "frame/framestore.h"
#include "frame/gui/TFramesView.h"
#include "platform/gui/settingvalue.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>

namespace {

const TSettingValue<bool> kShown("FramesShown", false);
const TSettingValue<bool> kInstead("FramesInsteadOfLog", false);
const TSettingValue<int> kLimitMiB("FramesMemoryMiB", static_cast<int>(CFrameStore::kDefaultByteLimit >> 20));
constexpr int kMinLimitMiB = 4;
constexpr int kMaxLimitMiB = 4096;

const char *const kObserver = "frames view";

} // namespace

TFramesCommands::TFramesCommands(QWidget *window, QSplitter &splitter, QStackedWidget &logPlace,
                                 CPortSession &session, TFeatureServices &services, TMenuSlots &menus)
    : QObject(window), m_window(window), m_splitter(splitter), m_logPlace(logPlace), m_session(session),
      m_limitMiB(CFrameStore::kDefaultByteLimit >> 20)
{
    m_show = menus.AddNew(this, "mnuViewFrames", tr("&Frames"), true);
    m_instead = menus.AddNew(this, "mnuViewFramesInstead", tr("Frames &Without the Log"), true);
    m_instead->setEnabled(false);
    connect(m_show, &QAction::toggled, this, &TFramesCommands::Show);
    connect(m_instead, &QAction::toggled, this, &TFramesCommands::Place);
    // The framing a link opens with is set as it opens, maybe by a handler of the same news
    // after this one: the hint looks once they all ran.
    connect(&services, &TFeatureServices::PortOpened, this,
            [this] { QTimer::singleShot(0, this, &TFramesCommands::ShowFraming); });
    connect(&services, &TFeatureServices::PortClosed, this, &TFramesCommands::ShowFraming);
}

bool TFramesCommands::Shown() const
{
    return m_show->isChecked();
}

void TFramesCommands::Show(bool on)
{
    if (m_ended)
        return;
    if (on && !m_view) {
        m_view = new TFramesView(m_window);
        m_view->Model().SetByteLimit(m_limitMiB << 20);
        m_splitter.insertWidget(m_splitter.indexOf(&m_logPlace) + 1, m_view);
        m_splitter.setStretchFactor(m_splitter.indexOf(m_view), 1);
        connect(&m_view->Model(), &TFramesModel::Published, this, &TFramesCommands::ShowFraming);
    }
    Observe();
    m_instead->setEnabled(on);
    Place();
    ShowFraming();
}

void TFramesCommands::Observe()
{
    // Through the decoding, decoder or not: a profile changed between two frames is followed at the
    // next one, so the first exchange after it is paired as every later one (the decoding costs
    // a frame two comparisons while its profile reads nothing).
    const bool on = m_view && m_show->isChecked() && !m_ended;
    CSessionDecoding &decoding = m_session.Decoding();
    if (!on) {
        decoding.SetObserver(kObserver, nullptr);
        decoding.SetSettled(kObserver, nullptr);
        return;
    }
    TFramesView *view = m_view;
    m_generation = m_session.Frames().Generation();
    decoding.SetObserver(kObserver, [this, view](const ST_Frame &frame, const ST_FrameReading &reading) {
        if (m_session.Frames().Generation() != m_generation) {
            // The rows kept are read out by the new profile's decoder from now on.
            m_generation = m_session.Frames().Generation();
            view->Model().SetDecode(Decoder());
        }
        view->Model().Add(frame, reading);
    });
    decoding.SetSettled(kObserver,
                        [view](const std::vector<ST_AnswerEvent> &events) { view->Model().Settle(events); });
    view->Model().SetDecode(Decoder());
}

TFramesModel::Decode TFramesCommands::Decoder()
{
    CSessionDecoding &decoding = m_session.Decoding();
    return [&decoding](const ST_Frame &frame, const ST_Frame *request) {
        return decoding.Decode(frame, request);
    };
}

void TFramesCommands::Place()
{
    if (!m_view)
        return;
    const bool on = m_show->isChecked();
    m_view->setVisible(on);
    m_logPlace.setVisible(!(on && m_instead->isChecked()));
}

void TFramesCommands::ShowFraming()
{
    if (!m_view || !m_show->isChecked())
        return;
    const auto &link = m_session.Link();
    m_view->ShowFraming(m_session.Frames().Info(), link ? QString::fromStdString(link->PortName) : QString());
    std::string error;
    if (m_session.Frames().Profile())
        error = m_session.Decoding().ErrorOf(EFrameDirection::Received);
    for (const EFrameDirection dir : {EFrameDirection::MonitorAtoB, EFrameDirection::MonitorBtoA})
        if (error.empty() && m_session.Frames().SideProfile(dir))
            error = m_session.Decoding().ErrorOf(dir);
    m_view->ShowDecoderError(QString::fromStdString(error));
}

void TFramesCommands::UpdateControls()
{
    m_instead->setEnabled(m_show->isChecked());
    ShowFraming();
}

void TFramesCommands::EndRun()
{
    // The session goes after this: it must not call into a view that goes with the window.
    m_ended = true;
    Observe();
}

void TFramesCommands::Load(const QSettings &settings)
{
    m_limitMiB = static_cast<size_t>(std::clamp(kLimitMiB.Read(settings), kMinLimitMiB, kMaxLimitMiB));
    if (m_view)
        m_view->Model().SetByteLimit(m_limitMiB << 20);
    m_instead->setChecked(kInstead.Read(settings));
    m_show->setChecked(kShown.Read(settings));
}

void TFramesCommands::Save(QSettings &settings) const
{
    kShown.Write(settings, m_show->isChecked());
    kInstead.Write(settings, m_instead->isChecked());
    kLimitMiB.Write(settings, static_cast<int>(m_limitMiB));
}
