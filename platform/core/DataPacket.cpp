#include "platform/core/DataPacket.h"

#include <strings.h>

int DataPacket::FieldIndex(std::string_view name) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i].name;
        if (f.size() == name.size() && strncasecmp(f.data(), name.data(), f.size()) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
