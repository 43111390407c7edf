#include "server/Database.h"

#include "server/PgDatabase.h"
#include "server/SqliteDatabase.h"

bool Database::IsPostgres(const std::string& spec)
{
    return spec.rfind("postgresql://", 0) == 0 || spec.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Database> Database::Open(const std::string& spec, const DatabaseOptions& options)
{
    if (IsPostgres(spec)) {
        return std::make_unique<PgDatabase>(spec, options);
    }
    return std::make_unique<SqliteDatabase>(spec, options);
}
