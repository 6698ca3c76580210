#pragma once
// View > Frames: the session's frames as a table under the log, in the window's splitter, or in
// the log's place ("Frames Without the Log"). The table is made the first time it is shown and
// hears of frames only while shown: hidden, it costs the session nothing. What it keeps is bounded
// by FramesMemoryMiB (as the log's own limit by default), the oldest frames dropped with a note.
// The frames come through the session's decoding, so that each row can tell what its profile's
// decoder reads in it, its answer's time or that none came.
#include "frame/gui/TFramesModel.h"

#include <QObject>
#include <cstdint>

class CPortSession;
class QAction;
class QSettings;
class QSplitter;
class QStackedWidget;
class QWidget;
class TFeatureServices;
class TFramesView;
class TMenuSlots;

class TFramesCommands : public QObject
{
    Q_OBJECT
public:
    // `splitter` holds `logPlace`; the table goes right under it.
    TFramesCommands(QWidget *window, QSplitter &splitter, QStackedWidget &logPlace, CPortSession &session,
                    TFeatureServices &services, TMenuSlots &menus);

    bool Shown() const;
    // Null until first shown.
    TFramesView *View() const { return m_view; }

    void UpdateControls();
    void EndRun();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    void Show(bool on);
    void Place();
    void ShowFraming();
    // Takes the frames, with what the decoding knows of them, while shown.
    void Observe();
    TFramesModel::Decode Decoder();

    QWidget *m_window;
    QSplitter &m_splitter;
    QStackedWidget &m_logPlace;
    CPortSession &m_session;
    QAction *m_show;
    QAction *m_instead;
    TFramesView *m_view = nullptr;
    size_t m_limitMiB;
    bool m_ended = false;
    uint64_t m_generation = 0;
};
