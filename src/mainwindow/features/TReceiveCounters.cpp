#include "mainwindow/features/TReceiveCounters.h"
#include "log/gui/TTrafficLog.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TStatusArea.h"
#include "shell/TStatusPanel.h"

#include <QLabel>
#include <QStringList>
#include <QTimer>
#include <chrono>

namespace {

// The counters in the status bar are redrawn at most this often: a fast line brings hundreds of
// blocks a second, and every new text costs a layout and a paint.
constexpr int kCounterRefreshMs = 200;

} // namespace

TReceiveCounters::TReceiveCounters(QWidget *window, CPortSession &session, TFeatureServices &services,
                                   TStatusArea &status, QLabel *lblInboundLoss, TTrafficLog &log)
    : QObject(window), m_window(window), m_session(session), m_services(services), m_status(status),
      m_loss(lblInboundLoss), m_log(log)
{
    connect(&services, &TFeatureServices::LinkStatusShown, this, &TReceiveCounters::Forget);
    m_countTimer = new QTimer(this);
    m_countTimer->setSingleShot(true);
    m_countTimer->setInterval(kCounterRefreshMs);
    connect(m_countTimer, &QTimer::timeout, this, &TReceiveCounters::ShowCount);

    m_blockTick = new QTimer(this);
    m_blockTick->setSingleShot(true);
    m_blockTick->setTimerType(Qt::PreciseTimer);
    connect(m_blockTick, &QTimer::timeout, this, [this] {
        // Blocks taken here start the next frame's wait (Pace); none means the stream paused, and
        // the next block comes at once.
        if (!m_session.TakeHeldBlocks())
            m_session.HoldBlocksFor(0);
        m_log.FlushIfDue();
        // Counts due before the next frame are shown with this one, in the same drawing.
        if (m_countTimer->isActive() && m_countTimer->remainingTime() < m_log.FrameMs()) {
            m_countTimer->stop();
            ShowCount();
        }
    });

    m_lossNoteTimer = new QTimer(this);
    m_lossNoteTimer->setSingleShot(true);
    connect(m_lossNoteTimer, &QTimer::timeout, this, [this] {
        for (const std::string &note : m_session.InboundLoss().TakeBurstNotes())
            m_log.LogNote(note);
    });
}

void TReceiveCounters::Count()
{
    m_shown = false;
    // Not restarted by later blocks, so a steady stream still shows its count every period.
    if (!m_countTimer->isActive())
        m_countTimer->start();
}

void TReceiveCounters::ShowCount()
{
    if (m_shown)
        return;
    m_shown = true;
    auto *panel = static_cast<TStatusPanel *>(m_status.Panel(TStatusArea::Rec));
    panel->SetCount(tr("Rec:%1/%2").arg(m_session.RecBytes()).arg(m_session.RecBlocks()));
    const QString says =
        tr("Received: %1 bytes in %2 blocks").arg(m_session.RecBytes()).arg(m_session.RecBlocks());
    panel->setToolTip(says);
    panel->setAccessibleName(says);
    emit m_services.CountShown();
}

void TReceiveCounters::Pace()
{
    // A block that ends a quiet while comes and is drawn at once. The blocks that follow it within
    // a frame would only be drawn at the frame's end anyway: they wait in the port's queue and
    // come together then, so a stream wakes the window once a frame rather than once a block.
    // A hidden window keeps the blocks coming one by one, as nothing paces it.
    if (!m_window->isVisible() || m_window->isMinimized() || !m_session.IsOpen() || m_blockTick->isActive())
        return;
    // The port hands them over by itself a while after the frame, should this window be late.
    // Running rules answer a steady stream no later than they answered its start: the log then
    // draws every other time the blocks come.
    constexpr int kLateMs = 25;
    const int frame = m_log.FrameMs(m_session.AutoSend().AutoSendState != AUTOSEND_RUNNING);
    m_blockTick->start(frame);
    m_session.HoldBlocksFor(static_cast<uint32_t>(frame + kLateMs));
}

void TReceiveCounters::ShowInboundLoss()
{
    // The log's notes stay in English; the panel speaks the window's language.
    const CInboundLoss &loss = m_session.InboundLoss();
    const CInboundLoss::Tally &total = loss.Total();
    QStringList counts, details, kinds;
    if (total.Errors() != 0)
        counts << tr("Errors:%1").arg(total.Errors());
    if (total.held != 0)
        counts << tr("Paused:%1").arg(total.held);
    const std::pair<int64_t, QString> errorKinds[] = {{total.overrun, tr("%1 overrun")},
                                                      {total.framing, tr("%1 framing")},
                                                      {total.parity, tr("%1 parity")},
                                                      {total.overflow, tr("%1 buffer overflow")}};
    for (const auto &[count, words] : errorKinds)
        if (count != 0)
            kinds << words.arg(count);
    if (!kinds.isEmpty())
        details << tr("Line errors: %1").arg(kinds.join(tr(", ")));
    if (total.held != 0) {
        const qint64 mib = static_cast<qint64>(loss.BehindBytes() >> 20);
        details << (total.held > 1 ? tr("Reading paused %1 times: the window fell %2 MiB behind the port")
                                         .arg(total.held)
                                         .arg(mib)
                                   : tr("Reading paused: the window fell %1 MiB behind the port").arg(mib));
    }
    const QString text = counts.join(QLatin1Char(' '));
    m_loss->setText(text);
    m_loss->setToolTip(details.join(QLatin1Char('\n')));
    m_loss->setVisible(!text.isEmpty());
}

// Errors come in bursts (a wrong rate makes one at nearly every byte): the note waits until none
// came for a moment, and a burst that never ends is still noted every few seconds.
void TReceiveCounters::NoteLoss()
{
    ShowInboundLoss();
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (!m_lossNoteTimer->isActive())
        m_lossBurstStartMs = now;
    if (now - m_lossBurstStartMs < CInboundLoss::kLongestBurstMs)
        m_lossNoteTimer->start(CInboundLoss::kQuietMs);
}
