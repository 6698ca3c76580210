#include "shell/TSessionBridge.h"

#include <algorithm>

TSessionBridge::TSessionBridge(QObject *parent) : QObject(parent)
{
    m_framesDue.setSingleShot(true);
    m_framesDue.setTimerType(Qt::PreciseTimer);
    m_answerDue.setSingleShot(true);
    m_answerDue.setTimerType(Qt::PreciseTimer);
}

void TSessionBridge::PumpFrames(CSessionFrames &frames)
{
    connect(&m_framesDue, &QTimer::timeout, this, [&frames] { frames.Pump(); });
    frames.SetWake([this](FrameTime due) {
        const auto waitUs = due - CSessionFrames::Now();
        // Rounded up: a wake a moment early would find the frame still open and wait again.
        const auto ms = std::max<int64_t>(0, (waitUs.count() + 999) / 1000);
        m_framesDue.start(static_cast<int>(std::min<int64_t>(ms, 24 * 3600 * 1000)));
    });
}

void TSessionBridge::TickAnswers(CSessionFrames &frames, CSessionDecoding &decoding)
{
    connect(&m_answerDue, &QTimer::timeout, this, [this, &frames, &decoding] {
        frames.Pump();
        // A frame still open may be the answer, begun in time: once it ends it settles the wait
        // itself, by its start, so the clock looks again only after the frames' own wake.
        if (m_framesDue.isActive()) {
            m_answerDue.start(m_framesDue.remainingTime() + 1);
            return;
        }
        decoding.Tick(CSessionFrames::Now());
    });
    decoding.SetWake([this](FrameTime due) {
        const auto waitUs = due - CSessionFrames::Now();
        const auto ms = std::max<int64_t>(0, (waitUs.count() + 999) / 1000);
        m_answerDue.start(static_cast<int>(std::min<int64_t>(ms, 24 * 3600 * 1000)));
    });
}

std::string TSessionBridge::ReceivedBlockName(int64_t ageMs)
{
    return m_namer ? m_namer(ageMs) : std::string();
}
