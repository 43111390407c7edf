#pragma once
// Who a connection serves: the operator named in its handshake (none when the
// server keeps no credentials), the peer's address, and the branches the
// operator may read and change. A server module gets it when it is made.
#include <set>
#include <string>

struct Caller {
    std::string operatorName;
    std::string peer;
    bool allBranches = true;
    // Branch codes as the database stores them (UTF-8).
    std::set<std::string> branches;
    // The session among every server's on the database: what the changes it
    // stores are announced with, so that it is not told of its own.
    std::string origin;

    // The operator, or the peer's address when there is none: what the audit
    // records.
    const std::string& Who() const;
    bool MayTouch(const std::string& branch) const;
};
