#include "ShellHarness.h"

#include "SeedData.h"

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

void Exec(sqlite3* db, const char* sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string message = err != nullptr ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error("local database: " + message);
    }
}

// The codes of a comma-separated list; none for an empty one.
std::vector<std::string> Codes(const std::string& list)
{
    std::vector<std::string> codes;
    std::stringstream in(list);
    for (std::string code; std::getline(in, code, ',');) {
        codes.push_back(code);
    }
    return codes;
}

} // namespace

std::vector<std::string> TranslatedLanguages()
{
    return Codes(TEST_TRANSLATED_LANGUAGES);
}

std::vector<std::string> PseudoLanguages()
{
    return Codes(TEST_PSEUDO_LANGUAGES);
}

std::vector<json> ShellOutput::All(const std::string& key) const
{
    std::vector<json> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains(key)) {
            out.push_back(l);
        }
    }
    return out;
}

std::vector<std::string> ShellOutput::Errors() const
{
    std::vector<std::string> out;
    for (const auto& l : All("error")) {
        out.push_back(l["error"].get<std::string>());
    }
    return out;
}

std::vector<std::string> ShellOutput::Calls() const
{
    std::vector<std::string> out;
    for (const auto& l : All("call")) {
        out.push_back(l["call"].get<std::string>());
    }
    return out;
}

json ShellOutput::Dump(int n) const
{
    auto dumps = All("dump");
    if (dumps.empty()) {
        return json();
    }
    int index = n < 0 ? static_cast<int>(dumps.size()) + n : n;
    if (index < 0 || index >= static_cast<int>(dumps.size())) {
        return json();
    }
    return dumps[static_cast<size_t>(index)]["dump"];
}

json ShellOutput::Component(const std::string& name, int n) const
{
    json d = Dump(n);
    if (!d.is_object() || !d["screen"].is_object()) {
        return json();
    }
    return d["screen"]["components"].value(name, json());
}

std::string ShellOutput::Text() const
{
    std::string s;
    for (const auto& l : lines) {
        s += l.dump() + "\n";
    }
    return s;
}

void ExecProgram(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

AppServerProcess::AppServerProcess(const std::string& db, const std::vector<std::string>& extra)
{
    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    std::string bin = std::string(TEST_BIN_DIR) + "/appserver";
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        close(out[0]);
        std::vector<std::string> args = {bin, "--db", db, "--listen", "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        ExecProgram(std::move(args));
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[256];
    std::string first;
    if (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
        first = line;
    }
    if (f != nullptr) {
        std::fclose(f);
    }
    auto colon = first.rfind(':');
    if (first.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
        Kill();
        throw std::runtime_error("appserver did not start: '" + first + "'");
    }
    port_ = std::atoi(first.c_str() + colon + 1);
}

AppServerProcess::~AppServerProcess()
{
    Stop();
}

void AppServerProcess::Stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

void AppServerProcess::Kill()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

void ShellTest::SetUp()
{
    char tmpl[] = "/tmp/servcliente-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    dbPath_ = dir_ + "/server.db";
    localDbPath_ = dir_ + "/local.db";
    sessionPath_ = dir_ + "/session.ini";

    db_ = Database::Open(dbPath_, {});
    Schema::Create(*db_);
    SeedServerData(*db_);

    sqlite3* local = nullptr;
    ASSERT_EQ(sqlite3_open(localDbPath_.c_str(), &local), SQLITE_OK);
    Exec(local, "CREATE TABLE FILIAL (CDFILIAL varchar(4) PRIMARY KEY, NMFILIAL varchar(30));"
                "INSERT INTO FILIAL VALUES ('0001', 'Matriz São Paulo');"
                "INSERT INTO FILIAL VALUES ('0002', 'Filial Campinas');"
                "INSERT INTO FILIAL VALUES ('0003', 'Filial Sem Serviços');");
    sqlite3_close(local);

    server_ = std::make_unique<AppServerProcess>(dbPath_);
    WriteSession();
}

void ShellTest::TearDown()
{
    server_.reset();
    db_.reset();
    if (!dir_.empty() && std::getenv("SERVCLIENTE_KEEP_E2E") == nullptr) {
        std::filesystem::remove_all(dir_);
    }
}

void ShellTest::RestartServer()
{
    server_.reset();
    server_ = std::make_unique<AppServerProcess>(dbPath_);
    session_["WebPort"] = std::to_string(server_->Port());
    WriteSession(session_);
}

void ShellTest::WriteSession(const std::map<std::string, std::string>& values)
{
    std::map<std::string, std::string> s = {
        {"FiliProc", "0001"},
        {"FiliProcFat", "0001"},
        {"NomeFiliProcFat", "Matriz São Paulo"},
        {"ModuFili", "0"},
        {"ModuloAtiv", "15"},
        {"WebURL", "127.0.0.1"},
        {"WebPort", std::to_string(server_->Port())},
        {"LocalDatabase", localDbPath_},
    };
    for (const auto& [k, v] : values) {
        s[k] = v;
    }
    session_ = s;
    std::ofstream f(sessionPath_);
    f << "[session]\n";
    for (const auto& [k, v] : s) {
        f << k << " = " << v << "\n";
    }
}

ShellOutput ShellTest::Run(const std::string& script, bool trace)
{
    std::string scriptPath = dir_ + "/script.txt";
    std::string outPath = dir_ + "/out.txt";
    {
        std::ofstream f(scriptPath);
        f << script;
    }
    std::string cmd = std::string(TEST_BIN_DIR) + "/shell --headless --session " + sessionPath_ + " --script " +
                      scriptPath + (trace ? " --trace" : "") + " > " + outPath + " 2>" + dir_ + "/err.txt";
    ShellOutput out;
    int rc = std::system(cmd.c_str());
    out.exitCode = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::ifstream in(outPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        try {
            out.lines.push_back(json::parse(line));
        } catch (const std::exception&) {
            out.lines.push_back(json{{"unparsed", line}});
        }
    }
    return out;
}

std::vector<std::string> ShellTest::Assigned(const std::string& branch, const std::string& client)
{
    std::vector<std::string> codes;
    for (const auto& row : db_->Query("SELECT CDSERVFILI FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ? "
                                      "ORDER BY CDSERVFILI",
                                      {branch, client})) {
        codes.push_back(row.at(0).value_or(""));
    }
    return codes;
}
