#include "log/pcapng.h"

#include <cstdlib>

// Whatever the file holds, it is read or refused; what is read, written again, reads back as
// the same records.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ST_PcapngContent content;
    try {
        content = ParsePcapng(data, size);
    } catch (const EPcapngError &) {
        return 0;
    }
    // Every record written again as an exported PDU, the bytes a serial-line event carries too.
    for (ST_PcapngInterface &interface : content.Interfaces)
        interface.LinkType = kPcapngExportedPdu;
    std::string written = PcapngHeader(content.Interfaces);
    for (const ST_PcapngRecord &record : content.Records) {
        ST_PcapngPacket packet;
        packet.Interface = record.Interface;
        packet.WallMicros = record.WallMicros;
        packet.Direction = record.Direction;
        packet.Bytes = record.Bytes.data();
        packet.Length = record.Bytes.size();
        packet.Comment = record.Comment;
        AppendPcapngPacket(written, packet);
    }
    const ST_PcapngContent again =
        ParsePcapng(reinterpret_cast<const uint8_t *>(written.data()), written.size());
    if (again.Records.size() != content.Records.size() ||
        again.Interfaces.size() != content.Interfaces.size())
        std::abort();
    for (size_t i = 0; i < again.Records.size(); ++i) {
        const ST_PcapngRecord &a = content.Records[i], &b = again.Records[i];
        if (a.Bytes != b.Bytes || a.Interface != b.Interface || a.Direction != b.Direction ||
            b.WallMicros != (a.WallMicros < 0 ? 0 : a.WallMicros) ||
            (a.Comment.size() <= 0xFFFC && a.Comment != b.Comment))
            std::abort();
    }
    return 0;
}
