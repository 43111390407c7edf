#include "server/Database.h"

#include "server/PgDatabase.h"
#include "server/PgListener.h"
#include "server/SqliteDatabase.h"

#include <sys/stat.h>

#include <algorithm>

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

std::string Database::Upserting(const std::string& table, const std::vector<std::string>& columns,
                                const std::vector<std::string>& keys) const
{
    std::string names;
    std::string marks;
    std::string updates;
    for (const std::string& column : columns) {
        names += (names.empty() ? "" : ", ") + column;
        marks += marks.empty() ? "?" : ", ?";
        if (std::find(keys.begin(), keys.end(), column) == keys.end()) {
            updates += (updates.empty() ? "" : ", ") + column + " = excluded." + column;
        }
    }
    std::string keyList;
    for (const std::string& key : keys) {
        keyList += (keyList.empty() ? "" : ", ") + key;
    }
    return "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ") ON CONFLICT (" + keyList + ") " +
           (updates.empty() ? std::string("DO NOTHING") : "DO UPDATE SET " + updates);
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
