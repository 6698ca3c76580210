#include "mainwindow/features/TPlotCommands.h"
#include "platform/gui/settingvalue.h"
#include "platform/gui/windowplace.h"
#include "plot/gui/TfrmPlot.h"
#include "session/portsession.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <chrono>

namespace {

const char kObserver[] = "plot";
const TSettingValue<QString> kPlotDecoded("PlotDecoded", QString());
constexpr size_t kMostSeen = 512;

} // namespace

TPlotCommands::TPlotCommands(QWidget *window, CPortSession &session, TMenuSlots &menus, int windowNumber)
    : QObject(window), m_window(window), m_session(session), m_number(windowNumber)
{
    QAction *plot = menus.AddNew(this, "mnuViewPlot", tr("&Plot"));
    connect(plot, &QAction::triggered, this, [this] {
        if (m_plot == nullptr)
            Make();
        m_plot->show();
        m_plot->raise();
        m_plot->activateWindow();
    });
}

// Beside the main window rather than over it, so both show what came in; where the user moves it
// afterwards it stays.
void TPlotCommands::Make()
{
    m_plot = new TfrmPlot(m_window);
    m_plot->ShowNames(m_number, m_link);
    m_plot->SetDecodedNames(m_decodedText);
    connect(m_plot, &TfrmPlot::DecodedNamesChanged, this, &TPlotCommands::ChooseDecoded);
    // Before the plot is first shown its frame is not known: the main window's is the same.
    const QRect owner = m_window->frameGeometry();
    const QSize margins = owner.size() - m_window->geometry().size();
    const QScreen *screen = m_window->screen();
    // Its layout widens it to its minimum when it is first shown; placed at a smaller size it
    // would then reach past the screen's edge.
    const QSize size = m_plot->size().expandedTo(m_plot->minimumSizeHint());
    const QRect place = FrameBeside(owner, size + margins, screen ? screen->availableGeometry() : QRect());
    m_plot->resize(place.size() - margins);
    m_plot->move(place.topLeft());
}

void TPlotCommands::Feed(const CCommData &block)
{
    if (m_plot != nullptr && m_plot->isVisible())
        m_plot->Feed(block.Data());
}

void TPlotCommands::ShowLink(const QString &link)
{
    m_link = link;
    if (m_plot != nullptr)
        m_plot->ShowNames(m_number, m_link);
}

void TPlotCommands::EndRun()
{
    m_session.Decoding().SetObserver(kObserver, nullptr);
}

void TPlotCommands::Load(const QSettings &settings)
{
    const QString text = kPlotDecoded.Read(settings);
    if (m_plot != nullptr)
        m_plot->SetDecodedNames(text);
    ChooseDecoded(text);
}

void TPlotCommands::Save(QSettings &settings) const
{
    kPlotDecoded.Write(settings, m_decodedText);
}

void TPlotCommands::ChooseDecoded(const QString &text)
{
    m_decodedText = text;
    m_chosen.clear();
    for (const QString &name : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!name.trimmed().isEmpty())
            m_chosen.insert(name.trimmed().toStdString());
    // Decoding every frame in full costs; it is asked for only while there is a value to plot.
    if (m_chosen.empty())
        m_session.Decoding().SetObserver(kObserver, nullptr);
    else
        m_session.Decoding().SetObserver(
            kObserver,
            [this](const ST_Frame &frame, const ST_FrameReading &reading) { OnFrame(frame, reading); });
}

void TPlotCommands::OnFrame(const ST_Frame &frame, const ST_FrameReading &reading)
{
    if (m_plot == nullptr || !m_plot->isVisible() || reading.Pairing == nullptr)
        return;
    const ST_Decoded decoded = m_session.Decoding().Decode(frame, reading.Request);
    std::vector<std::pair<std::string, double>> values;
    std::vector<std::string> seen;
    for (const ST_Field &field : decoded.Fields) {
        if (!field.Value)
            continue;
        if (m_chosen.count(field.Name) != 0)
            values.emplace_back(field.Name, *field.Value);
        if (m_seen.size() < kMostSeen && m_seen.insert(field.Name).second)
            seen.push_back(field.Name);
    }
    if (!seen.empty())
        m_plot->AddSeenNames(seen);
    if (!values.empty())
        m_plot->FeedDecoded(std::chrono::duration_cast<std::chrono::milliseconds>(frame.Start).count(),
                            values);
}
