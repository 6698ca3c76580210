#pragma once
// Two ports in one log. Without a bridge both ports are only read; with one, what arrives on
// either is written to the other as soon as it arrives, not at the end of a block. Port B may be
// a virtual port: a pseudo-terminal reachable through a symbolic link the user names, so that a
// program under test opens it as its serial port and the monitor sits between it and the device.
//
// Threads: the monitor opens its ports and reads and writes them on threads of its own. The sinks
// are called on those threads, in arrival order per direction; they must not call back into the
// monitor, Taken excepted. The two directions run at once, so a sink may be called from both
// threads at the same time, and it must not wait for the thread that calls Stop (which waits for
// the monitor's threads).
//
// Back-pressure: with a bridge, a side that does not take what is written to it (a program that
// does not read, a device holding the line with its flow control) stops the reading of the other
// side until it does, rather than the monitor buffering without bound. Blocks handed to the sink
// count against a bound (platform/handoverbound.h) until the owner says it took them (Taken): at
// the bound both sides stop reading, and the event sink hears ReadingHeld, once per hold.
//
// A port lost (unplugged, or its terminal hung up) is told through the note sink, "Port A lost: "
// or "Port B lost: " and the reason, once; that side is no longer read, and what arrives on the
// other side is still read and handed over, tagged A or B since it can no longer be written.
// A network port lost (its server closed or went silent) is told the same way, with why the
// connection ended, and then ends the monitor: it reads neither side any more, and the event sink
// hears Ended; Stop then removes the virtual port.
//
// What each side's line does besides data goes to the line sink, on that side's thread, in the
// order of its blocks (portbase/lineevent.h, its Port naming the side): a break or a line error
// after the read that brought it (a local device's driver counts them with the bytes; a network
// port's server tells them), a modem-line change at the look that found it, the lines looked at
// ten times a second as the window looks at its own. The virtual port has no lines of its own.
//
// A virtual port B: see monitor/virtualport.h for which of the program's line settings port A
// follows; each change is told as "Virtual port: <rate> baud, <1 stop bit|2 stop bits>,
// <no|RTS/CTS|XON/XOFF> flow control; port A follows" (or "; port A cannot follow: " and why).
// The link is removed at Stop, and also when the process dies of a fatal signal.
#include "data/commdata.h"
#include "link/linksetting.h"
#include "portbase/lineevent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class EMonitorTag : uint8_t {
    A,    // read on port A (no bridge)
    B,    // read on port B (no bridge)
    AtoB, // read on A and written to B
    BtoA, // read on B and written to A
};

struct ST_MonitorBlock
{
    EMonitorTag Tag = EMonitorTag::A;
    Bytes Data;
    // Wall clock of the block's arrival, milliseconds since the epoch: the log's stamp.
    int64_t ArrivalMs = 0;
    // The same read on the steady clock in microseconds, for a capture that tells reads apart.
    int64_t ArrivalSteadyMicros = 0;
};

struct ST_MonitorSetup
{
    COM_PORT_SETTING PortA;
    // Ignored when VirtualB is set.
    COM_PORT_SETTING PortB;
    bool VirtualB = false;
    // Where the virtual port's symbolic link is made; an existing link left by a run that ended
    // without removing it is replaced, anything else there is refused.
    // A full path; a leading "~/" stands for the home folder.
    std::string VirtualPath;
    bool Bridge = false;
    // The master is on port B: its frames are the requests the decoding pairs with answers.
    bool MasterB = false;
};

enum class EMonitorEvent : uint8_t {
    ReadingHeld, // the owner fell the bound behind: reading waits until it takes some
    Ended,       // a network port was lost: nothing more is read; Stop removes the virtual port
};

class CPortMonitor
{
public:
    using BlockSink = std::function<void(ST_MonitorBlock &&block)>;
    // Things the log should say: a port lost, line settings followed from the virtual port.
    using NoteSink = std::function<void(const std::string &note)>;
    using EventSink = std::function<void(EMonitorEvent event)>;
    // How a start ended: an empty error once both ports are open and read.
    using StartSink = std::function<void(const std::string &error)>;

    using LineSink = std::function<void(const ST_LineEvent &event)>;

    CPortMonitor(BlockSink blocks, NoteSink notes, EventSink events = {}, LineSink lines = {});
    // Stops a running monitor.
    ~CPortMonitor();
    CPortMonitor(const CPortMonitor &) = delete;
    CPortMonitor &operator=(const CPortMonitor &) = delete;

    // Opens both ports (and makes the virtual port) on a thread of its own and starts reading, and
    // returns at once: a network port may keep its connect waiting for seconds. `started` is
    // called on that thread when the start has ended, before anything read is handed over; on
    // failure nothing stays open or made, and its error tells the user what went wrong. A Stop
    // meanwhile gives the start up at once (a connect is cancelled), and `started` is not called
    // once Stop has returned. False with `error` set when the setup is refused before any port
    // is touched, or a start or a run is under way.
    bool Begin(const ST_MonitorSetup &setup, StartSink started, std::string &error);
    // Begin, and the wait for its end: false with `error` set when the monitor did not start.
    bool Start(const ST_MonitorSetup &setup, std::string &error);
    // Gives up a start, or closes both ports and removes the virtual port's link. No sink is
    // called after it returns.
    void Stop();
    // Started and not stopped (also after a network port lost ended it).
    bool Running() const;
    // Any thread, a sink included: the owner has taken this many bytes of the blocks handed over.
    void Taken(size_t bytes);
    // The pseudo-terminal behind the virtual port ("/dev/pts/N"), empty when there is none.
    std::string VirtualDevice() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
