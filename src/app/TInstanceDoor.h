#pragma once
// Keeps a second start off the working files of the process already running on the same app
// folder. At start-up, before any window exists, Open() either hands this start over to that
// process (which opens a window for it) or makes this process the one that later starts find.
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

class QLocalSocket;

class TInstanceDoor : public QObject
{
public:
    enum class Outcome {
        Listening,  // this process holds the folder and serves later starts
        HandedOver, // the running process opened a window for this start: exit now
        NoAnswer,   // a process holds the folder but did not answer in time
        NoDoor,     // no socket could be made: later starts will not find this process
    };

    // How long a start waits for the running process to answer.
    static constexpr int kAnswerMs = 2000;
    // A peer that has not sent its line by then is dropped.
    static constexpr int kIdlePeerMs = 5000;

    // `openWindow` runs on the GUI thread for every request of a later start; the start is
    // answered when it returns.
    TInstanceDoor(const QString &socketPath, std::function<void()> openWindow);
    ~TInstanceDoor() override;

    // Runs the event loop while it waits for an answer, so call it before any window is shown.
    Outcome Open();

    // After NoAnswer: from now on this process keeps its working files in a folder of its own
    // (see MakePrivateAppFolder) and its settings in a file there, seeded from the user's store.
    // Returns the folder; throws EFCreateError.
    static QString MoveToPrivateFolder();

private:
    enum class Knock { Answered, Refused, Closed, Silent };

    Knock AskForWindow(QLocalSocket &socket);
    void Serve(QLocalSocket *peer);
    void Answer(QLocalSocket *peer);

    QString m_path;
    std::function<void()> m_openWindow;
    QLocalServer m_server;
};
