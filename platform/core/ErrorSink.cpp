#include "platform/core/ErrorSink.h"

#include "platform/core/Cp1252.h"

#include <cstdio>

namespace {
ErrorSink::Sink& Current()
{
    static ErrorSink::Sink sink;
    return sink;
}
} // namespace

namespace ErrorSink {

Sink Set(Sink sink)
{
    Sink old = std::move(Current());
    Current() = std::move(sink);
    return old;
}

void Show(const std::string& text)
{
    if (Current()) {
        Current()(text);
        return;
    }
    std::string utf8;
    try {
        utf8 = Cp1252::ToUtf8(text);
    } catch (const std::exception&) {
        utf8 = text;
    }
    std::fprintf(stderr, "error: %s\n", utf8.c_str());
}

} // namespace ErrorSink
