#pragma once
// The tables of the application server, the same on SQLite and PostgreSQL.
// AUDITORIA holds one row for every write a client asked for: the time (UTC,
// "YYYY-MM-DDTHH:MM:SS.ffffffZ", which sorts as time does), the operator (or
// the peer's address when the server keeps no credentials), the method, the
// branch, the client, the service (empty for DelTodos) and the action:
// inserted, deleted, modified (the service is then the new one) or
// all deleted.
#include "server/Database.h"

class Schema {
public:
    // Creates whatever table is missing; existing tables and rows are kept.
    static void Create(Database& db);
};
