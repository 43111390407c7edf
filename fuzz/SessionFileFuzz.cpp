// The session file reader on arbitrary text. A failed load leaves the session
// as it was, so a load that throws must leave every value unchanged.
#include "host/Session.h"
#include "platform/core/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Session session;
    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        session.LoadFromText(text, "fuzz.ini");
    } catch (const Exception&) {
        if (!session.FiliProc().empty() || session.WebPort() != 0 || !session.FileName().empty()) {
            std::abort();
        }
    }
    return 0;
}
