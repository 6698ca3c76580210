#pragma once
// View > One Line per Frame, beside Split Received Lines: while the traffic is framed, the log's
// received and sent lines are the frames, each stamped when it began and marked when its check
// found it wrong or it ended other than as its protocol says. Without framing the log stays as it
// was. What the log shows of it is CFrameLines' (log/framelines.h); this feeds it the frames.
#include <QObject>

class CPortSession;
class QAction;
class QSettings;
class TFeatureServices;
class TMenuSlots;
class TTrafficLog;

class TFrameLineCommands : public QObject
{
    Q_OBJECT
public:
    TFrameLineCommands(QObject *parent, CPortSession &session, TTrafficLog &log, TMenuSlots &menus,
                       TFeatureServices &services);
    // The window goes: the session, which goes first, sends no more frames here.
    void EndRun();

    // The value "FrameLines".
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    void Choose(bool on);

    CPortSession &m_session;
    TTrafficLog &m_log;
    QAction *m_item;
};
