#pragma once
// The remote data modules a server hosts, by registered name ("Zel.rdmServCliente").
// Names are compared without regard to case.
#include "server/Caller.h"
#include "server/RemoteModule.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ModuleRegistry {
public:
    using Factory = std::function<std::unique_ptr<RemoteModule>(Database* db, const Caller& caller)>;

    void Register(const std::string& serverName, Factory factory);
    // A new instance for one connection and whom it serves, or nullptr for an
    // unknown name.
    std::unique_ptr<RemoteModule> Create(const std::string& serverName, Database* db, const Caller& caller = {}) const;
    std::vector<std::string> Names() const;

private:
    std::vector<std::pair<std::string, Factory>> factories_;
};
