// The form resource reader on arbitrary text: a broken resource is refused
// with an error naming where, never a crash or a runaway recursion.
#include "platform/core/Exception.h"
#include "platform/forms/FormParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        FormParser::Parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.form");
    } catch (const Exception&) {
    }
    return 0;
}
