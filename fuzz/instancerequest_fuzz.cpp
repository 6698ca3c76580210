#include "platform/instance.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    const InstanceRequest request = ParseInstanceRequest(line);
    // Exactly one line opens a window; everything else is answered with an error line.
    std::string_view bare = line;
    if (!bare.empty() && bare.back() == '\r')
        bare.remove_suffix(1);
    const std::string_view request1 = kNewWindowRequest.substr(0, kNewWindowRequest.size() - 1);
    if ((request == InstanceRequest::NewWindow) != (bare == request1))
        std::abort();
    const std::string_view reply = InstanceReply(request);
    if (request != InstanceRequest::NewWindow && (reply.substr(0, 6) != "error " || reply.back() != '\n'))
        std::abort();
    return 0;
}
