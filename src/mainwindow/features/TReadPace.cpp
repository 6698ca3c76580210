#include "mainwindow/features/TReadPace.h"

#include "platform/gui/settingvalue.h"
#include "session/portsession.h"

#include <QSettings>
#include <algorithm>

namespace {

const TSettingValue<int> kPace("ReadPaceMs", static_cast<int>(CPortSession::kReadPaceMs));

} // namespace

TReadPace::TReadPace(QObject *window, CPortSession &session) : QObject(window), m_session(session) {}

void TReadPace::Load(const QSettings &settings)
{
    m_session.SetReadPaceMs(static_cast<uint32_t>(std::clamp(kPace.Read(settings), 0, kLongestMs)));
}

void TReadPace::Save(QSettings &settings) const
{
    kPace.Write(settings, static_cast<int>(m_session.ReadPaceMs()));
}
