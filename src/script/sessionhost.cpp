#include "script/sessionhost.h"
#include "platform/handover.h"
#include "serial/serial.h"

#include <strings.h>

std::optional<ETransferProtocol> TransferProtocolNamed(const std::string &name)
{
    for (const ETransferProtocol p :
         {ETransferProtocol::Raw, ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K,
          ETransferProtocol::Ymodem, ETransferProtocol::Zmodem})
        if (strcasecmp(name.c_str(), TransferProtocolName(p)) == 0)
            return p;
    return std::nullopt;
}

CSessionScriptHost::CSessionScriptHost(CPortSession &session, CHandOver &toOwner,
                                       std::function<std::optional<CCommData>(const std::string &)> findItem,
                                       std::function<void(const std::string &)> note)
    : m_session(session), m_toOwner(toOwner), m_findItem(std::move(findItem)), m_note(std::move(note))
{
}

void CSessionScriptHost::SendDone()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        ++m_sendsDone;
    }
    m_changed.notify_all();
}

void CSessionScriptHost::TransferDone(const ST_TransferOutcome &outcome, bool portLost)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_transferOutcome = outcome;
        m_transferPortLost = portLost;
        m_transferDone = true;
    }
    m_changed.notify_all();
}

void CSessionScriptHost::Wake()
{
    // Under the locks, so a script about to wait sees the stop or hears of it.
    std::shared_ptr<SendWait> send;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        send = m_send;
    }
    m_changed.notify_all();
    if (send) {
        {
            const std::lock_guard<std::mutex> guard(send->Lock);
        }
        send->Changed.notify_all();
    }
}

bool CSessionScriptHost::SendOnOwner(const CCommData &item, std::string *error)
{
    // The send's end is told on the sender thread, possibly after this host is gone: the two
    // share what they wait on.
    const auto wait = std::make_shared<SendWait>();
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_send = wait;
    }
    struct Forget
    {
        CSessionScriptHost &Host;
        ~Forget()
        {
            const std::lock_guard<std::mutex> guard(Host.m_lock);
            Host.m_send.reset();
        }
    } forget{*this};
    const auto onDone = [wait](const ST_SendOutcome &outcome) {
        {
            const std::lock_guard<std::mutex> guard(wait->Lock);
            wait->Outcome = outcome;
            wait->Done = true;
        }
        wait->Changed.notify_all();
    };
    for (;;) {
        CPortSession::ESend result = CPortSession::ESend::NotOpen;
        uint64_t doneBefore = 0;
        if (Stopped() || !m_toOwner.Deliver([&] {
                {
                    const std::lock_guard<std::mutex> guard(m_lock);
                    doneBefore = m_sendsDone;
                }
                result = m_session.Send(item, ESendLog::Each, onDone);
            })) {
            *error = "the script was stopped";
            return false;
        }
        switch (result) {
        case CPortSession::ESend::Queued: {
            // The bytes are on the line (or failed) before the script goes on.
            std::unique_lock<std::mutex> guard(wait->Lock);
            wait->Changed.wait(guard, [&] { return wait->Done || Stopped(); });
            if (!wait->Done) {
                *error = "the script was stopped";
                return false;
            }
            const ST_SendOutcome &outcome = wait->Outcome;
            if (outcome.Whole())
                return true;
            *error = "only " + std::to_string(outcome.Written) + " of " + std::to_string(item.Data().size()) +
                     " bytes went out" +
                     (outcome.Code != 0 ? ": " + SerialErrorText(outcome.Code, false)
                                        : std::string(" (the send was cancelled)"));
            return false;
        }
        case CPortSession::ESend::NotOpen:
            *error = "the port is not open";
            return false;
        case CPortSession::ESend::Transferring:
            *error = "a file transfer holds the line";
            return false;
        case CPortSession::ESend::Refused:
            break;
        }
        // The sender's queue is full: a send done makes room.
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [&] { return m_sendsDone != doneBefore || Stopped(); });
        if (Stopped()) {
            *error = "the script was stopped";
            return false;
        }
    }
}

bool CSessionScriptHost::Write(const std::vector<uint8_t> &bytes, std::string *error)
{
    return SendOnOwner(CCommData(bytes, FMT_STRING), error);
}

bool CSessionScriptHost::SendItem(const std::string &name, std::string *error)
{
    std::optional<CCommData> item;
    m_toOwner.Deliver([&] { item = m_findItem(name); });
    if (!item) {
        *error = "no send-list item is named \"" + name + "\"";
        return false;
    }
    return SendOnOwner(*item, error);
}

bool CSessionScriptHost::SetLines(int dtr, int rts, std::string *error)
{
    long code = -1;
    m_toOwner.Deliver([&] {
        if (!m_session.IsOpen())
            return;
        code = 0;
        if (dtr >= 0)
            code = m_session.Device().SetDTR(dtr != 0);
        if (code == 0 && rts >= 0)
            code = m_session.Device().SetRTS(rts != 0);
    });
    if (code != 0)
        *error =
            code < 0 ? "the port is not open" : "the port refused the line: " + SerialErrorText(code, false);
    return code == 0;
}

bool CSessionScriptHost::GetLines(ST_ScriptLines *lines, std::string *error)
{
    bool ok = false;
    ST_ModemLines now;
    m_toOwner.Deliver([&] { ok = m_session.IsOpen() && m_session.Device().GetModemLines(&now); });
    if (!ok) {
        *error = "the modem lines could not be read";
        return false;
    }
    *lines = ST_ScriptLines{now.Dtr, now.Rts, now.Cts, now.Dsr, now.Dcd, now.Ring};
    return true;
}

bool CSessionScriptHost::SendBreak(uint32_t ms, std::string *error)
{
    bool open = false;
    m_toOwner.Deliver([&] {
        open = m_session.IsOpen();
        if (open)
            m_session.SendBreak(ms);
    });
    if (!open)
        *error = "the port is not open";
    return open;
}

bool CSessionScriptHost::SendFile(const std::string &path, const std::string &protocolName,
                                  std::string *error)
{
    const std::optional<ETransferProtocol> protocol = TransferProtocolNamed(protocolName);
    if (!protocol) {
        *error = "no file protocol is named \"" + protocolName + "\"";
        return false;
    }
    ST_TransferFile file;
    try {
        file = TransferFileAt(path);
    } catch (const std::exception &e) {
        *error = e.what();
        return false;
    }
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_transferDone = false;
    }
    std::string why = "the port is not open or not taking data";
    bool started = false;
    m_toOwner.Deliver([&] {
        ST_TransferOptions options;
        options.Protocol = *protocol;
        try {
            started = m_session.IsOpen() && !m_session.TransferRunning() &&
                      m_session.StartTransfer({file}, options);
        } catch (const std::exception &e) {
            why = e.what();
        }
    });
    if (!started) {
        *error = why;
        return false;
    }
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_transferDone || Stopped(); });
    if (!m_transferDone) {
        // Stopped: the transfer is cancelled, and ends as usual while the script goes.
        guard.unlock();
        m_toOwner.Deliver([this] { m_session.CancelTransfer(); });
        *error = "the script was stopped";
        return false;
    }
    if (m_transferOutcome.End == ETransferEnd::Done)
        return true;
    *error = std::string("the file was not sent: ") + TransferEndText(m_transferOutcome.End) +
             (m_transferPortLost ? " (the port was lost)" : "");
    return false;
}

void FeedScriptFrame(CScriptRunner &runner, CSessionDecoding &decoding, const ST_Frame &frame,
                     const ST_FrameReading &reading)
{
    if (!reading.Pairing || !runner.WantsDecoded()) {
        runner.FeedFrame(frame);
        return;
    }
    const ST_Decoded decoded = decoding.Decode(frame, reading.Request);
    runner.FeedFrame(frame, &decoded);
}
