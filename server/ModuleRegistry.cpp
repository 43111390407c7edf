#include "server/ModuleRegistry.h"

#include <strings.h>

void ModuleRegistry::Register(const std::string& serverName, Factory factory)
{
    factories_.emplace_back(serverName, std::move(factory));
}

std::unique_ptr<RemoteModule> ModuleRegistry::Create(const std::string& serverName, Database* db,
                                                     const Caller& caller) const
{
    for (const auto& [name, factory] : factories_) {
        if (name.size() == serverName.size() && strcasecmp(name.c_str(), serverName.c_str()) == 0) {
            return factory(db, caller);
        }
    }
    return nullptr;
}

std::vector<std::string> ModuleRegistry::Names() const
{
    std::vector<std::string> names;
    for (const auto& f : factories_) {
        names.push_back(f.first);
    }
    return names;
}
