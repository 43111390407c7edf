#include "server/DescriptorLimit.h"

#include "platform/core/Exception.h"

#include <spdlog/spdlog.h>

#include <filesystem>
#include <sys/resource.h>

namespace {

long OpenNow()
{
    std::error_code ec;
    long n = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) {
        ++n;
    }
    return n;
}

} // namespace

long DescriptorLimit::Needed(const ServerOptions& options)
{
    return OpenNow() + kHeadroom +
           kPerConnection * (static_cast<long>(options.maxConnections) + 3L * options.maxPendingHandshakes);
}

void DescriptorLimit::Ensure(const ServerOptions& options)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return;
    }
    const long needed = Needed(options);
    const auto want = static_cast<rlim_t>(needed);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= want) {
        return;
    }
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < want) {
        throw EInvalidOperation("--max-connections " + std::to_string(options.maxConnections) + " with " +
                                std::to_string(options.maxPendingHandshakes) +
                                " handshakes in progress and twice as many waiting to be answered needs " +
                                std::to_string(needed) + " open files, more than this process's limit of " +
                                std::to_string(limit.rlim_max) +
                                " (RLIMIT_NOFILE); lower --max-connections or raise the limit (ulimit -n)");
    }
    rlimit raised = limit;
    raised.rlim_cur = want;
    if (setrlimit(RLIMIT_NOFILE, &raised) != 0) {
        throw EInvalidOperation("--max-connections " + std::to_string(options.maxConnections) + " needs " +
                                std::to_string(needed) + " open files, but the limit of " +
                                std::to_string(limit.rlim_cur) + " could not be raised");
    }
    spdlog::info("open-file limit raised from {} to {} for {} connections", limit.rlim_cur, needed,
                 options.maxConnections);
}
