#pragma once
// What becomes of sends: what went out is counted (the traffic path logs it), a failure is told once (a
// manual send in a message box, one box for a run of failing sends; an automatic send in the status bar and
// the diagnostic log). A send the user abandoned (Stop, Close Port) or one that found the port closed is no
// failure; one cut short by a lost port is.
#include <QObject>
#include <QString>
#include <functional>

class CPortSession;
class TFeatureServices;
class TSessionBridge;
class TStatusArea;
struct ST_SendReport;

class TSendReports : public QObject
{
    Q_OBJECT
public:
    TSendReports(QObject *parent, CPortSession &session, TSessionBridge &events, TFeatureServices &services,
                 TStatusArea &status, std::function<void(const QString &)> showMessage);

private:
    void Done(const ST_SendReport &report);
    void ReportFault(const ST_SendReport &report);
    void NoteAutoSendFault(const QString &what);

    CPortSession &m_session;
    TStatusArea &m_status;
    std::function<void(const QString &)> m_showMessage;
    // A failing automatic send is reported once, until one of its sends gets through or a port
    // opens; failing manual sends are told in one box for all that fail before the queue runs empty.
    bool m_autoFaultNoted = false;
    bool m_manualFaultNoted = false;
};
