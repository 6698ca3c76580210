#pragma once
// View > Answer Times: the statistics of the requests and their answers beside the log and the
// frames, in a panel docked at the window's side. Shown, it asks the session's decoding to pair
// even with no other reader, and brings its figures up to date at most four times a second while
// frames come, and not at all while none do; hidden, it costs the session nothing.
#include <QObject>
#include <QTimer>

class CPortSession;
class QAction;
class QDockWidget;
class QSettings;
class QWidget;
class TAnswerTimesPanel;
class TMenuSlots;

class TAnswerTimesCommands : public QObject
{
    Q_OBJECT
public:
    TAnswerTimesCommands(QWidget *window, CPortSession &session, TMenuSlots &menus);

    // Null until first shown.
    TAnswerTimesPanel *Panel() const { return m_panel; }

    void EndRun();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    void Show(bool on);
    void Changed();
    void Refresh();

    QWidget *m_window;
    CPortSession &m_session;
    QAction *m_show;
    QDockWidget *m_dock = nullptr;
    TAnswerTimesPanel *m_panel = nullptr;
    QTimer m_refresh;
    bool m_ended = false;
};
