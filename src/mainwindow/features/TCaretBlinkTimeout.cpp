#include "mainwindow/features/TCaretBlinkTimeout.h"

#include "platform/gui/TCaretBlink.h"
#include "platform/gui/settingvalue.h"

#include <QSettings>

namespace {

const TSettingValue<int> kTimeout("CaretBlinkTimeout", TCaretBlink::kDefaultTimeoutMs);

} // namespace

TCaretBlinkTimeout::TCaretBlinkTimeout(QObject *window) : QObject(window)
{
    TCaretBlink::Instance();
}

void TCaretBlinkTimeout::Load(const QSettings &settings)
{
    // The value sits outside the group of a later window's values.
    const int ms = settings.group().isEmpty()
                       ? kTimeout.Read(settings)
                       : kTimeout.Read(QSettings(settings.fileName(), settings.format()));
    TCaretBlink::Instance().SetTimeoutMs(ms);
}

void TCaretBlinkTimeout::Save(QSettings &settings) const
{
    const QString group = settings.group();
    if (!group.isEmpty())
        settings.endGroup();
    kTimeout.Write(settings, TCaretBlink::Instance().TimeoutMs());
    if (!group.isEmpty())
        settings.beginGroup(group);
}
