// The data packet decoder on bytes that came from the network. A packet that
// decodes must encode again and decode to the same bytes: whatever Decode lets
// in is a packet the process can send on.
#include "platform/core/DataPacketCodec.h"
#include "platform/core/Exception.h"
#include "platform/core/VariantCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        DataPacket packet = DataPacketCodec::Decode(bytes);
        std::string again = DataPacketCodec::Encode(packet);
        if (DataPacketCodec::Encode(DataPacketCodec::Decode(again)) != again) {
            std::abort();
        }
    } catch (const Exception&) {
    }
    // A packet also arrives wrapped in a variant.
    try {
        VariantCodec::Decode(bytes);
    } catch (const Exception&) {
    }
    return 0;
}
