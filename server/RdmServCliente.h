#pragma once
// The remote data module of the service-per-client screen, registered as
// "Zel.rdmServCliente". Its methods:
//
//   GetCliente(branch, number)    clients of the branch whose registration
//                                 number, digits only, equals the digits of
//                                 number; every client of the branch when
//                                 number is blank; ordered by name
//   GetServico(branch, client)    services of the branch not assigned to the
//                                 client, by code
//   GetServClie(branch, client)   services assigned to the client, with their
//                                 names, by code
//   DelTodos(branch, client)      removes every assignment of the client in
//                                 the branch; answers how many were removed
//   ApCoServClie(packet by ref)   applies a change packet of assignments in
//                                 one transaction; answers how many entries
//                                 it applied (0 for Null)
//
// Failure behaviour: every failure raises, so it reaches the client as an
// error and never as a success-shaped answer: a text longer than its field, a
// stored text with no Windows-1252 form, a change packet without the key
// fields or naming a client or service that does not exist (the whole packet
// is then refused), or a database error. Applying is idempotent: inserting an
// assignment that exists, or deleting one that does not, is no error, so a
// packet sent again after a lost answer does no harm.
#include "server/ModuleRegistry.h"
#include "server/RemoteModule.h"

class RdmServCliente : public RemoteModule {
public:
    static constexpr const char* kServerName = "Zel.rdmServCliente";

    explicit RdmServCliente(Database* db);

    static void Register(ModuleRegistry& registry);

    Variant GetCliente(const std::string& branch, const std::string& number);
    Variant GetServico(const std::string& branch, const std::string& client);
    Variant GetServClie(const std::string& branch, const std::string& client);
    Variant DelTodos(const std::string& branch, const std::string& client);
    Variant ApCoServClie(const Variant& packet);
};
