#include "server/Database.h"

#include "server/PgDatabase.h"
#include "server/PgListener.h"
#include "server/SqliteDatabase.h"

#include <sys/stat.h>

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

bool Database::Exists(const std::string& location)
{
    if (IsPostgres(location)) {
        return true;
    }
    struct stat st {};
    return stat(location.c_str(), &st) == 0;
}

long long Database::Backup(const std::string& location, const std::string& to, const DatabaseOptions& options)
{
    if (IsPostgres(location)) {
        return PgDatabase::Backup(location, to, options);
    }
    return SqliteDatabase::Backup(location, to, options);
}

std::unique_ptr<ChangeListener> Database::Listen(const std::string& location,
                                                 std::function<void(const std::string&)> heard,
                                                 std::function<void()> resumed)
{
    if (IsPostgres(location)) {
        return std::make_unique<PgListener>(location, std::move(heard), std::move(resumed));
    }
    return nullptr;
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
