#pragma once
// Observers by name, of frames at line rate, of line events, of answers settled. An observer may set
// or remove observers (itself too) while it runs: the ones called are those set when the call
// began, and one removed meanwhile lives on until the outermost call returns. No reference count
// is touched per call: at 125,000 frames a second an atomic count on each observer was a fifth of
// a frame's cost.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

template <typename Signature> class CNamedObservers
{
public:
    using Observer = std::function<Signature>;

    // An empty `observer` removes the one of that name.
    void Set(const std::string &name, Observer observer)
    {
        auto at =
            std::find_if(m_list.begin(), m_list.end(), [&](const ST_Entry &e) { return e.Name == name; });
        if (at != m_list.end()) {
            Retire(std::move(at->Run));
            if (observer)
                at->Run = std::make_unique<Observer>(std::move(observer));
            else
                m_list.erase(at);
        } else if (observer) {
            m_list.push_back({name, std::make_unique<Observer>(std::move(observer))});
        }
    }

    bool Empty() const { return m_list.empty(); }

    template <typename... Args> void Call(Args &&...args)
    {
        if (m_list.empty())
            return;
        const CDepth depth(*this);
        // One observer is the common case: it needs no list of those to call.
        if (m_list.size() == 1) {
            Observer *run = m_list.front().Run.get();
            (*run)(args...);
            return;
        }
        std::vector<Observer *> local;
        std::vector<Observer *> &runs = m_depth == 1 ? m_runs : local;
        runs.clear();
        for (const ST_Entry &e : m_list)
            runs.push_back(e.Run.get());
        for (size_t i = 0; i < runs.size(); ++i)
            (*runs[i])(args...);
    }

private:
    struct ST_Entry
    {
        std::string Name;
        std::unique_ptr<Observer> Run;
    };
    class CDepth
    {
    public:
        explicit CDepth(CNamedObservers &owner) : m_owner(owner) { ++m_owner.m_depth; }
        ~CDepth()
        {
            if (--m_owner.m_depth == 0)
                m_owner.m_retired.clear();
        }
        CDepth(const CDepth &) = delete;
        CDepth &operator=(const CDepth &) = delete;

    private:
        CNamedObservers &m_owner;
    };

    void Retire(std::unique_ptr<Observer> run)
    {
        if (m_depth > 0)
            m_retired.push_back(std::move(run));
    }

    std::vector<ST_Entry> m_list;
    std::vector<std::unique_ptr<Observer>> m_retired; // removed while a call ran
    std::vector<Observer *> m_runs;                   // the outermost call's, kept for its room
    int m_depth = 0;
};
