#pragma once
// A script's way to a port session, the same in the window and in a headless run: everything the
// script asks of the port (a send, the modem lines, a break, a file) is delivered to the session's
// owner thread, and the script's thread waits for the answer there, never the other way round.
// The owner tells it of the session's events it waits for (SendDone, TransferDone).
#include "script/scriptrunner.h"
#include "session/portsession.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class CHandOver;

class CSessionScriptHost : public IScriptHost
{
public:
    // `findItem` and `note` are called on the owner thread and on the script's thread respectively.
    CSessionScriptHost(CPortSession &session, CHandOver &toOwner,
                       std::function<std::optional<CCommData>(const std::string &name)> findItem,
                       std::function<void(const std::string &text)> note);

    // Before the script runs: its waits end once it is told to stop.
    void SetRunner(const CScriptRunner *runner) { m_runner = runner; }
    // Owner thread: a send ended (room in the sender's queue); a transfer ended.
    void SendDone();
    void TransferDone(const ST_TransferOutcome &outcome, bool portLost);
    // Any thread: a stop was asked of the runner; waits of the script's for the owner wake.
    void Wake() override;

    bool Write(const std::vector<uint8_t> &bytes, std::string *error) override;
    bool SendItem(const std::string &name, std::string *error) override;
    bool SetLines(int dtr, int rts, std::string *error) override;
    bool GetLines(ST_ScriptLines *lines, std::string *error) override;
    bool SendBreak(uint32_t ms, std::string *error) override;
    bool SendFile(const std::string &path, const std::string &protocol, std::string *error) override;
    void Note(const std::string &text) override { m_note(text); }
    // The session's framing says this itself (the owner sets the observer that feeds the runner
    // its frames, as it sets the reader that feeds it the bytes).
    bool FramingOn() const override { return m_session.Frames().On(); }

private:
    bool Stopped() const { return m_runner && m_runner->StopRequested(); }
    // Sends on the owner thread and waits until the sender took it.
    bool SendOnOwner(const CCommData &item, std::string *error);

    CPortSession &m_session;
    CHandOver &m_toOwner;
    std::function<std::optional<CCommData>(const std::string &)> m_findItem;
    std::function<void(const std::string &)> m_note;
    const CScriptRunner *m_runner = nullptr;

    struct SendWait
    {
        std::mutex Lock;
        std::condition_variable Changed;
        bool Done = false;
        ST_SendOutcome Outcome;
    };

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::shared_ptr<SendWait> m_send; // the send the script waits for
    uint64_t m_sendsDone = 0;
    bool m_transferDone = false;
    bool m_transferPortLost = false;
    ST_TransferOutcome m_transferOutcome;
};

// "Raw", "XMODEM", "XMODEM-1K", "YMODEM" or "ZMODEM", in any letter case.
std::optional<ETransferProtocol> TransferProtocolNamed(const std::string &name);

// The session's decoding observer of a running script: the frame, read out by its decoder here on
// the owner thread (the Lua decoder's state is this thread's) when the script reads decoded frames.
void FeedScriptFrame(CScriptRunner &runner, CSessionDecoding &decoding, const ST_Frame &frame,
                     const ST_FrameReading &reading);
