#pragma once
// The window's live capture for the protocol analyser: a socket of the window's own
// (extcap/livecapture.h) that kestrum-extcap attaches to, streaming what the traffic path sees,
// both directions, from the moment of attaching: a packet per frame where the session frames
// that direction, per block otherwise. With nobody attached it costs the traffic path one look at
// an atomic flag per block; the socket and its callers are served on a thread of their own.
#include "extcap/livedoor.h"

#include <QObject>
#include <optional>
#include <string>

class CPortSession;
class TFeatureServices;
struct COM_PORT_SETTING;
struct ST_Frame;
struct ST_Traffic;

class TLiveCapture : public QObject
{
    Q_OBJECT
public:
    TLiveCapture(QObject *window, int windowNumber, CPortSession &session, TFeatureServices &services);
    ~TLiveCapture() override;

    // Where it listens, empty when it could not (the diagnostic log says why).
    std::string SocketPath() const { return m_listening ? m_door.Path() : std::string(); }
    size_t Callers() const { return m_door.Callers(); }

private:
    std::string Header() const;
    void LinkChanged(const std::optional<COM_PORT_SETTING> &link);
    void Traffic(const ST_Traffic &event);
    void Frame(const ST_Frame &frame);
    void Note(const std::string &text);
    void Queue();
    void Flush();

    int m_number;
    CPortSession &m_session;
    std::string m_port;
    std::string m_description;
    int64_t m_wallOffset = 0; // the wall clock less the frames' clock, microseconds
    bool m_listening = false;
    // What this turn of the event loop brought, posted in one piece once it is over.
    std::string m_pending;
    size_t m_pendingPackets = 0;
    CLiveCaptureDoor m_door;
};
