#include "platform/backgroundwriter.h"

#include "platform/diaglog.h"
#include "platform/textfile.h"

#include <exception>

CBackgroundWriter::CBackgroundWriter() : m_thread(&CBackgroundWriter::Run, this) {}

CBackgroundWriter::~CBackgroundWriter()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CBackgroundWriter::Post(const std::string &path, Producer produce)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_path = path;
        m_pending = std::move(produce);
        if (m_appendPath == path)
            m_appends.clear();
    }
    m_changed.notify_all();
}

void CBackgroundWriter::PostAppend(const std::string &path, Producer produce)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_appendPath = path;
        m_appends.push_back(std::move(produce));
    }
    m_changed.notify_all();
}

void CBackgroundWriter::Wait()
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return !m_pending && m_appends.empty() && !m_busy; });
}

void CBackgroundWriter::Run()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return m_pending || !m_appends.empty() || m_stopping; });
        if (!m_pending && m_appends.empty())
            return;
        Producer produce = std::move(m_pending);
        m_pending = nullptr;
        const std::string path = m_path;
        std::vector<Producer> appends;
        appends.swap(m_appends);
        const std::string appendPath = m_appendPath;
        m_busy = true;
        guard.unlock();
        try {
            if (produce)
                WriteFileAtomic(path, produce);
            // The appends follow each other as one.
            size_t next = 0;
            AppendFile(appendPath, [&appends, &next](std::string &piece) {
                for (; next < appends.size(); ++next) {
                    if (appends[next](piece))
                        return true;
                }
                return false;
            });
        } catch (const std::exception &error) {
            AppendLogFormatted(DiagLogPath(), "CBackgroundWriter::Run - %s", error.what());
        }
        guard.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
