#pragma once
// The start-up door on disk: a socket the running process listens on and, beside it, the lock
// that lets one start at a time decide between calling that process and taking its place. Both
// live in a folder of the user's own (see InstanceSocketPath), but the names can be guessed by
// every local user, so nothing found there is used or removed unless it is this user's: the
// folder, the lock and the socket file by their owner, the process behind the socket by the
// credentials the kernel gives for it (SO_PEERCRED), and every caller the same way.
#include <string>
#include <sys/types.h>

// How long a start waits for another start that holds the lock. flock() alone would wait for
// ever on a start that hangs while it decides.
constexpr int kDoorLockWaitMs = 2000;

enum class DoorResult {
    Listening, // this process made the socket and listens on it
    Called,    // a process of this user listens and took the call
    Busy,      // a process of this user holds the lock or the socket but takes no call
    Foreign,   // something not this user's, or not a socket, is in the way: see `why`
    Failed,    // the folder or the socket could not be made: see `why`
};

struct DoorKnock
{
    DoorResult result = DoorResult::Failed;
    int fd = -1;     // Called: the connection, now the caller's to close
    std::string why; // Foreign and Failed: what is in the way, in words for the user
};

// Makes `folder` (0700) when it is missing and checks that it is a folder of this user's, closed to
// others; otherwise `why` says what is in the way.
bool PrepareDoorFolder(const std::string &folder, std::string &why);
// Whether the process at the other end of the socket `fd` is this user's; `uid` is its user.
bool PeerIsThisUser(int fd, uid_t &uid);

class CInstanceDoor
{
public:
    // `socketPath` lies in the door's folder; the lock is "<socketPath>.lock".
    explicit CInstanceDoor(std::string socketPath);
    ~CInstanceDoor();
    CInstanceDoor(const CInstanceDoor &) = delete;
    CInstanceDoor &operator=(const CInstanceDoor &) = delete;

    // Makes the folder (0700) when it is missing, then, under the lock, calls the process at the
    // socket or, when none answers the call, removes a socket of this user left behind and
    // listens in its place. Waits at most kDoorLockWaitMs for the lock.
    DoorKnock KnockOrListen();

    // While Listening: the listening socket (non-blocking), for the caller's event loop.
    int ListenFd() const { return m_listen; }

    // The next caller of this user waiting at the socket, non-blocking, or -1 when none waits.
    // Callers of other users are hung up on unheard.
    int Accept();

    // Stops listening. The socket is removed under the lock and only while it is still the one
    // this process made: a start may already have put its own at the same path.
    void Close();

private:
    DoorKnock Listen();

    std::string m_path;
    std::string m_lockPath;
    int m_listen = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
