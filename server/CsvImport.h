#pragma once
// Loads a business's branches, clients and services from CSV files into the
// server's database: one file a table (FILIAL, CLIENTE, SERVFILI), comma
// separated, fields in double quotes where they hold a comma, a quote (given
// twice) or a line break; its first row names the columns, in any order, the
// table's key columns among them. Texts are UTF-8 and must have a
// Windows-1252 form, as everything the screen shows; each is checked against
// its column's size. A row whose key is stored already is updated, so a file
// loaded again changes nothing more.
//
// Failure behaviour: Load throws EInvalidOperation naming the file and the
// line of the first row at fault (a column unknown or missing, a value too
// long or with no Windows-1252 form, a branch a client or service names that
// is not there, a quote left open); nothing of that file is then stored.
#include "server/Database.h"

#include <string>

class CsvImport {
public:
    // The tables a file may load, by the name the command line gives them.
    static constexpr const char* kTables[] = {"FILIAL", "CLIENTE", "SERVFILI"};

    // Loads the file at path into table in one transaction; returns the rows.
    static long Load(Database& db, const std::string& table, const std::string& path);
};
