#pragma once
// One application server of the session's list (WebURL): a host and a port.
// WebURL names one server or several, separated by commas; an entry is a
// host name or address, with ":port" when it differs from WebPort ("[...]"
// around an IPv6 address given with a port). The shell connects to the first
// one that answers.
//
// Failure behaviour: Parse raises EConvertError naming the entry that is not
// a server address (empty, with blanks inside, or with a bad port).
#include <string>
#include <vector>

struct ServerAddress {
    std::string host;
    int port = 0;

    static std::vector<ServerAddress> Parse(const std::string& list, int defaultPort);
};
