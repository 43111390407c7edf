#include "host/ServerAddress.h"

#include "platform/core/Exception.h"

#include <algorithm>

namespace {

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

[[noreturn]] void Bad(const std::string& entry, const std::string& why)
{
    throw EConvertError("'" + entry + "' is not a server address (" + why + ")");
}

int PortOf(const std::string& entry, const std::string& digits)
{
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        Bad(entry, "the port is not a number");
    }
    const int port = std::stoi(digits);
    if (port < 1 || port > 65535) {
        Bad(entry, "the port is not from 1 to 65535");
    }
    return port;
}

} // namespace

std::vector<ServerAddress> ServerAddress::Parse(const std::string& list, int defaultPort)
{
    std::vector<ServerAddress> servers;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const size_t length = comma == std::string::npos ? std::string::npos : comma - start;
        const std::string entry = Trim(list.substr(start, length));
        if (entry.empty()) {
            Bad(entry, "an empty entry");
        }
        if (entry.find_first_of(" \t") != std::string::npos) {
            Bad(entry, "a blank inside");
        }
        ServerAddress server{entry, defaultPort};
        if (entry.front() == '[') {
            const size_t close = entry.find(']');
            if (close == std::string::npos || close == 1) {
                Bad(entry, "an unclosed or empty '['");
            }
            server.host = entry.substr(1, close - 1);
            if (close + 1 < entry.size()) {
                if (entry[close + 1] != ':') {
                    Bad(entry, "text after ']'");
                }
                server.port = PortOf(entry, entry.substr(close + 2));
            }
        } else if (std::count(entry.begin(), entry.end(), ':') == 1) {
            const size_t colon = entry.find(':');
            if (colon == 0) {
                Bad(entry, "no host");
            }
            server.host = entry.substr(0, colon);
            server.port = PortOf(entry, entry.substr(colon + 1));
        }
        servers.push_back(std::move(server));
        if (comma == std::string::npos) {
            return servers;
        }
        start = comma + 1;
    }
}
