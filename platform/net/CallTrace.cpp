#include "platform/net/CallTrace.h"

#include <mutex>
#include <utility>

namespace {

std::mutex& HookMutex()
{
    static std::mutex m;
    return m;
}

CallTrace::Hook& CurrentHook()
{
    static CallTrace::Hook hook;
    return hook;
}

} // namespace

CallTrace::Hook CallTrace::Set(Hook hook)
{
    std::lock_guard lock(HookMutex());
    return std::exchange(CurrentHook(), std::move(hook));
}

void CallTrace::Notify(const std::string& method, const std::string& descriptorHead, const std::vector<Variant>& args)
{
    Hook hook;
    {
        std::lock_guard lock(HookMutex());
        hook = CurrentHook();
    }
    if (!hook) {
        return;
    }
    try {
        hook(method, descriptorHead, args);
    } catch (...) {
    }
}
