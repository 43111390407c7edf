// The workstations' local database made from the server's branches: the
// server's rows exactly (a refresh drops a branch gone), readable by all, in
// rollback-journal mode, and the old file kept whole when the server's
// database cannot be read.
#include "server/BranchExport.h"
#include "server/Schema.h"
#include "server/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

TEST(BranchExport, WritesTheServersBranchesReadableByAllAndReplacesTheOldFileWhole)
{
    char dir[] = "/tmp/servcliente-export-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string folder = dir;
    const std::string local = folder + "/local.db";
    DatabaseOptions options;
    SqliteDatabase server(folder + "/server.db", options);
    Schema::Create(server);
    server.Execute("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz'), ('0002', 'Filial Sé')", {});
    EXPECT_EQ(BranchExport::Export(server, local), 2);

    server.Execute("DELETE FROM FILIAL WHERE CDFILIAL = '0001'", {});
    EXPECT_EQ(BranchExport::Export(server, local), 1);
    struct stat st {};
    ASSERT_EQ(stat(local.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    {
        SqliteDatabase read(local, options);
        const auto rows = read.Query("SELECT CDFILIAL, NMFILIAL FROM FILIAL", {});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][1], "Filial Sé");
    }
    // The reader above turned WAL on again; a fresh export is never WAL
    // (bytes 18 and 19 of the header are 1 in rollback-journal mode).
    EXPECT_EQ(BranchExport::Export(server, local), 1);
    std::ifstream in(local, std::ios::binary);
    char header[20] = {};
    in.read(header, sizeof header);
    EXPECT_EQ(header[18], 1);
    EXPECT_EQ(header[19], 1);

    server.ExecScript("DROP TABLE SERVCLIE; DROP TABLE FILIAL");
    EXPECT_THROW(BranchExport::Export(server, local), EDatabaseError);
    EXPECT_TRUE(std::filesystem::exists(local));
    EXPECT_FALSE(std::filesystem::exists(local + ".new"));
    std::filesystem::remove_all(folder);
}
