#pragma once
// Writes a file on a thread of its own, so saving a large list never stalls the GUI thread.
// Requests coalesce: when several wait, only the newest is written. The content is produced on
// the worker, piece by piece, from whatever snapshot the request captured; failures go to the
// diagnostic log, since a background save has no command to abandon.
#include "platform/textfile.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CBackgroundWriter
{
public:
    using Producer = TextPieces;

    CBackgroundWriter();
    ~CBackgroundWriter(); // writes what is still waiting, then ends the thread
    CBackgroundWriter(const CBackgroundWriter &) = delete;
    CBackgroundWriter &operator=(const CBackgroundWriter &) = delete;

    void Post(const std::string &path, Producer produce);
    // Adds what `produce` gives to the end of the file, after every request posted before it.
    // Appends never coalesce with each other, but a later Post replaces those still waiting
    // (its snapshot already holds them).
    void PostAppend(const std::string &path, Producer produce);
    // Returns once nothing is waiting or being written.
    void Wait();

private:
    void Run();

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_path;
    Producer m_pending;
    std::string m_appendPath;
    std::vector<Producer> m_appends;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
