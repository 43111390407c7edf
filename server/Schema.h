#pragma once
// The tables of the application server, the same on SQLite and PostgreSQL.
#include "server/Database.h"

class Schema {
public:
    // Creates whatever table is missing; existing tables and rows are kept.
    static void Create(Database& db);
};
