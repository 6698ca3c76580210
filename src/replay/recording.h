#pragma once
// A recording read back for replay: what the device said and what was said to it, in the order
// it crossed the line, each piece with its time.
//
// Three kinds of file are read, each for what it keeps:
// - a pcapng capture or export of this program: every packet with its time in microseconds; the
//   window's port (interface 0) inbound is the device, outbound what was sent to it; in the
//   two-port monitor port A (interface 1) is the device's side, port B (interface 2) the
//   program's. A packet without bytes (a note) is left out. Another writer's file reads as the
//   device's wherever its direction is not outbound.
// - a text capture (the log's lines): "Rec  :" lines are the device, "Send :" lines what was
//   sent, the monitor's "A :", "A>B :" the device and "B :", "B>A :" the program; notes are left
//   out. The stamps give the times (to the millisecond a headless run's log gives, to the second
//   a window's does); a file without stamps has no times. The bytes are read back from the view
//   the lines were captured in: hex or decimal when every line of traffic is in that form,
//   otherwise text, each displayed line with the CR LF that ends it in the file.
// - anything else is a raw capture: the received bytes alone, without times.
//
// A recording without times is paced by `bytesPerSecond` (0: as fast as the line takes it).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class EReplaySide : uint8_t { Device, Program };

struct ST_ReplayRecord
{
    int64_t Micros = 0; // since the recording's first record
    EReplaySide Side = EReplaySide::Device;
    std::vector<uint8_t> Bytes;
};

struct ST_Recording
{
    enum class EKind : uint8_t { Pcapng, Text, Raw };
    EKind Kind = EKind::Raw;
    bool Timed = false; // the times are the recorded ones, not made from a rate
    std::vector<ST_ReplayRecord> Records;

    size_t Count(EReplaySide side) const;
};

// No record is longer: a raw capture is cut into pieces of at most this, and a text line's
// bytes are bounded by the line anyway.
constexpr size_t kReplayMaxRecord = 4096;

// Throw EPcapngError for a damaged pcapng; the others read whatever they are given.
ST_Recording RecordingOfPcapng(const uint8_t *data, size_t size);
ST_Recording RecordingOfText(const std::string &text, uint32_t bytesPerSecond);
ST_Recording RecordingOfRaw(const uint8_t *data, size_t size, uint32_t bytesPerSecond);
// The kind told from the bytes themselves.
ST_Recording ParseRecording(const uint8_t *data, size_t size, uint32_t bytesPerSecond);
// A file, gzip-compressed or not, of at most `limit` bytes once uncompressed. Throws EFOpenError
// or EPcapngError.
ST_Recording ReadRecordingFile(const std::string &path, uint32_t bytesPerSecond,
                               size_t limit = size_t{256} << 20);
