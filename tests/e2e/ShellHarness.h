#pragma once
// End-to-end harness: a real application server process over a small known
// SQLite database, a local database with the branches, a session file, and
// the shell run headless with a script, as an operator would drive it. Each
// answer line of the shell is parsed as JSON.
#include "server/Database.h"
#include "server/Schema.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

using nlohmann::json;

// The lines one shell run printed.
struct ShellOutput {
    std::vector<json> lines;
    int exitCode = 0;

    // Lines with the given key, in order.
    std::vector<json> All(const std::string& key) const;
    // The messages the operator saw.
    std::vector<std::string> Errors() const;
    // The remote calls sent, by method name, in order.
    std::vector<std::string> Calls() const;
    // The n-th dump (0-based; -1 the last).
    json Dump(int n = -1) const;
    // A component of the screen in the n-th dump.
    json Component(const std::string& name, int n = -1) const;
    std::string Text() const;
};

// The languages the build made besides Portuguese (cmake/Languages.txt): those
// translated by tables, and the pseudo-languages.
std::vector<std::string> TranslatedLanguages();
std::vector<std::string> PseudoLanguages();

// In a child just forked: runs the program args[0] with the arguments that
// follow; exits with 127 if it cannot.
[[noreturn]] void ExecProgram(std::vector<std::string> args);

class AppServerProcess {
public:
    // Starts `appserver --db Db --listen 127.0.0.1:0` and waits for its
    // "listening on" line.
    explicit AppServerProcess(const std::string& db, const std::vector<std::string>& extra = {});
    ~AppServerProcess();
    int Port() const { return port_; }
    void Stop();
    void Kill();

private:
    int pid_ = -1;
    int port_ = 0;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the shell with this script (one command a line).
    ShellOutput Run(const std::string& script, bool trace = true);
    // Writes the session file; values override the defaults.
    void WriteSession(const std::map<std::string, std::string>& values = {});
    // Direct access to the server's database, to prepare or check data.
    Database& Db() { return *db_; }
    // Assignments of one client, service codes in order.
    std::vector<std::string> Assigned(const std::string& branch, const std::string& client);
    AppServerProcess& Server() { return *server_; }
    void RestartServer();

    std::string dir_;
    std::string dbPath_;
    std::string localDbPath_;
    std::string sessionPath_;
    std::map<std::string, std::string> session_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<AppServerProcess> server_;
};
