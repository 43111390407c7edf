#pragma once
// The workstations' local database: the branches of the server's database
// (table FILIAL) in a SQLite file that every operator may read and none needs
// to write, in rollback-journal mode so that a shell can read it from a
// read-only folder. The file is built beside its final place and renamed over
// it, so that a shell reading the old one never sees half of the new.
//
// Failure behaviour: Export throws EDatabaseError for a database that cannot
// be read or a file that cannot be written, and EInvalidOperation when the new
// file cannot take the old one's place; the old file is then left as it was.
#include "server/Database.h"

#include <string>

class BranchExport {
public:
    // Returns the number of branches written.
    static int Export(Database& server, const std::string& path);
};
