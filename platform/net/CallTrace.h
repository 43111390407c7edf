#pragma once
// A process-wide hook that sees every remote call as it is sent: the method
// name, the descriptor bytes before the name, and the argument values. The
// shell's --trace output is written from it. The hook runs on the calling
// thread; an exception it throws is swallowed so tracing never changes a call.
#include "platform/core/Variant.h"

#include <functional>
#include <string>
#include <vector>

class CallTrace {
public:
    using Hook = std::function<void(const std::string& method, const std::string& descriptorHead,
                                    const std::vector<Variant>& args)>;

    // Installs a hook (an empty one removes it); returns the previous one.
    static Hook Set(Hook hook);
    static void Notify(const std::string& method, const std::string& descriptorHead, const std::vector<Variant>& args);
};
