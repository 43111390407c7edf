#pragma once
// The tables of the application server, the same on SQLite and PostgreSQL,
// and the versions they went through. The database keeps its version (SQLite
// in PRAGMA user_version, PostgreSQL in the one-row table VERSAOESQUEMA);
// each later version is a step applied to the one before, in a transaction of
// its own with the new version number, so a step is stored whole or not at
// all. A database made before versions were kept is known by its tables.
// The versions and their steps are listed in Schema.cpp; the current tables
// hold every field the module's contract (ServClienteContract) declares, at
// its width.
//
// AUDITORIA holds one row for every write that changed a row and every write
// refused for access: the time (UTC, "YYYY-MM-DDTHH:MM:SS.ffffffZ", which
// sorts as time does), the operator (or the peer's address when the server
// keeps no credentials), the peer's address, the method, the branch, the
// client, the service (empty for DelTodos), the action (inserted, deleted,
// all deleted or denied; rows of earlier releases may say modified) and the
// rows it changed (1, DelTodos's count, 0 when denied; empty for rows
// recorded before the column was added).
//
// Failure behaviour: Create and Migrate throw EDatabaseError for a database
// whose version is newer than Schema::kCurrent, naming both versions, and
// pass on the database's own errors; a step that failed is rolled back.
#include "server/Database.h"

class Schema {
public:
    // The newest version: as many as Schema.cpp has steps.
    static const int kCurrent;

    // Makes the tables of a new database, or brings an older one to the
    // current version; rows are kept.
    static void Create(Database& db);
    // Brings the database to version target, step by step; returns the
    // version found before (0 for a database without tables).
    static int Migrate(Database& db, int target = kCurrent);
    // The database's version: the stored one, else the one its tables show.
    static int Found(Database& db);
};
