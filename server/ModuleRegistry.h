#pragma once
// The remote data modules a server hosts, by registered name ("Zel.rdmServCliente").
// Names are compared without regard to case.
#include "server/RemoteModule.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ModuleRegistry {
public:
    using Factory = std::function<std::unique_ptr<RemoteModule>(Database* db)>;

    void Register(const std::string& serverName, Factory factory);
    // A new instance for one connection, or nullptr for an unknown name.
    std::unique_ptr<RemoteModule> Create(const std::string& serverName, Database* db) const;
    std::vector<std::string> Names() const;

private:
    std::vector<std::pair<std::string, Factory>> factories_;
};
