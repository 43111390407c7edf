#include "server/Database.h"

#include "server/PgDatabase.h"
#include "server/SqliteDatabase.h"

bool Database::IsPostgres(const std::string& location)
{
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Database> Database::Open(const std::string& location, const DatabaseOptions& options)
{
    if (IsPostgres(location)) {
        return std::make_unique<PgDatabase>(location, options);
    }
    return std::make_unique<SqliteDatabase>(location, options);
}

std::string Database::Lower(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}
