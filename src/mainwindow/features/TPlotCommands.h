#pragma once
// View > Plot: one plot window for the main window, made on first use beside it and fed with what
// the port receives only while it is shown. Its title names the window and the link, so that
// plots of several windows are told apart. The decoded values it is asked for by name come from
// the session's decoding, which reads frames out in full only while some names are chosen.
#include "data/commdata.h"

#include <QObject>
#include <QString>
#include <set>
#include <string>

class CPortSession;
class QSettings;
class QWidget;
class TfrmPlot;
class TMenuSlots;
struct ST_Frame;
struct ST_FrameReading;

class TPlotCommands : public QObject
{
    Q_OBJECT
public:
    TPlotCommands(QWidget *window, CPortSession &session, TMenuSlots &menus, int windowNumber);
    // Before the session goes.
    void EndRun();
    // A receive stage.
    void Feed(const CCommData &block);
    // The link as the window's title names it; empty while none is open.
    void ShowLink(const QString &link);

    // The decoded values chosen, kept with the window's settings.
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    void Make();
    void ChooseDecoded(const QString &text);
    void OnFrame(const ST_Frame &frame, const ST_FrameReading &reading);

    QWidget *m_window;
    CPortSession &m_session;
    int m_number;
    QString m_link;
    TfrmPlot *m_plot = nullptr;
    QString m_decodedText;
    std::set<std::string> m_chosen;
    std::set<std::string> m_seen; // offered for completion, a bounded few
};
