#pragma once
// The clients and services whose existence a change packet still has to
// prove, each with the first entry that names it: an insert that stored a
// row, or a deletion that removed one, proved both by it, so only the changes
// that touched nothing (and the rare edits) are checked, after the writes.
//
// Failure behaviour: RefuseMissing refuses for good (ERemoteRefusal) the
// missing client or service named by the earliest entry, with that entry, so
// that the caller can drop it and send the rest again.
#include "server/Database.h"

#include <map>
#include <string>
#include <utility>

class ExistenceChecks {
public:
    void Add(const std::string& branch, const std::string& client, const std::string& service, unsigned entry);
    // A client and a service share one query.
    void RefuseMissing(Database& db, const std::string& method) const;

private:
    using Pair = std::pair<std::string, std::string>;
    [[noreturn]] static void Refuse(const std::string& method, const std::pair<Pair, unsigned>& missing,
                                    const char* what, const char* code);

    std::map<Pair, unsigned> clients_;
    std::map<Pair, unsigned> services_;
};
