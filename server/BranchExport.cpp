#include "server/BranchExport.h"

#include "server/SqliteDatabase.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

int BranchExport::Export(Database& server, const std::string& path)
{
    const auto branches = server.Query("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL", {});
    const std::string building = path + ".new";
    std::remove(building.c_str());
    try {
        DatabaseOptions options;
        SqliteDatabase local(building, options);
        local.ExecScript("PRAGMA journal_mode=DELETE; CREATE TABLE FILIAL (CDFILIAL varchar(4) NOT NULL PRIMARY KEY, "
                         "NMFILIAL varchar(30))");
        local.Begin(true);
        for (const auto& row : branches) {
            local.Execute("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)", {row.at(0), row.at(1)});
        }
        local.Commit();
    } catch (...) {
        std::remove(building.c_str());
        throw;
    }
    // Branch codes and names are no secret: every operator's shell reads them.
    if (chmod(building.c_str(), 0644) != 0 || std::rename(building.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        std::remove(building.c_str());
        throw EInvalidOperation("Cannot put the local database in place at " + path + ": " + why);
    }
    return static_cast<int>(branches.size());
}
