#pragma once
// Keeps a second start off the working files of the process already running on the same app
// folder. At start-up, before any window exists, Open() either hands this start over to that
// process (which opens a window for it) or makes this process the one that later starts find.
// What it finds on disk is checked by CInstanceDoor (platform/instancedoor.h).
#include "platform/instancedoor.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLocalSocket;
class QSocketNotifier;

class TInstanceDoor : public QObject
{
public:
    enum class Outcome {
        Listening,  // this process holds the folder and serves later starts
        HandedOver, // the running process opened a window for this start: exit now
        NoAnswer,   // a process holds the folder but did not answer in time
        NoDoor,     // no socket could be made: later starts will not find this process
        Foreign,    // the door is not this user's, or not a door: see Why()
    };

    // How long a start waits for the running process to answer.
    static constexpr int kAnswerMs = 2000;
    // A peer that has not sent its line by then is dropped.
    static constexpr int kIdlePeerMs = 5000;

    // `openWindow` runs on the GUI thread for every request of a later start and says whether
    // there is a window for it now. The start is answered only then; one asked before the first
    // window exists waits for ServeWaiting().
    TInstanceDoor(const QString &socketPath, std::function<bool()> openWindow);
    ~TInstanceDoor() override;

    // Runs the event loop while it waits for an answer, so call it before any window is shown.
    Outcome Open();

    // What stood in the way after Foreign, in words for the user.
    QString Why() const { return m_why; }

    // Asks again for the starts that came before there was a window.
    void ServeWaiting();

    // After NoAnswer or Foreign (`why` says which): from now on this process keeps its working
    // files in a folder of its own (see MakePrivateAppFolder) and its settings in a file there,
    // seeded from the user's store. Returns the folder; throws EFCreateError.
    static QString MoveToPrivateFolder(const QString &why);

private:
    enum class Knock { Answered, Refused, Closed, Silent };

    Knock AskForWindow(QLocalSocket &socket);
    void TakeCalls();
    void Serve(QLocalSocket *peer);
    void Answer(QLocalSocket *peer);
    void Grant(QLocalSocket *peer);

    CInstanceDoor m_door;
    std::function<bool()> m_openWindow;
    std::unique_ptr<QSocketNotifier> m_calls;
    std::vector<QPointer<QLocalSocket>> m_waiting;
    QString m_why;
};
