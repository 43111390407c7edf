// appserver: the application server of the service-per-client screen.
//
//   appserver [--config FILE] --db DB [--listen HOST:PORT] [--metrics-listen [HOST:]PORT] [options]
//   appserver seed --db DB --local-db FILE
//   appserver check --connect HOST:PORT [--operator NAME] [--secret-file FILE] [--liveness] [--timeout S]
//   appserver export-branches --db DB --local-db FILE
//   appserver --version
//   appserver passwd --operator NAME --branches LIST   (the secret on standard input)
//   appserver backup --to FILE [--db DB]               (SQLite only)
//   appserver migrate [--db DB] [--status]
//
// DB is a SQLite file path or a postgresql:// URL; it may also come from the
// configuration file or SERVCLIENTE_DB, so that no password has to be on the
// command line.
#include "platform/core/Exception.h"
#include "platform/net/TlsContext.h"
#include "server/AppServer.h"
#include "server/BranchExport.h"
#include "server/CertificateFile.h"
#include "server/ConfigFile.h"
#include "server/Credentials.h"
#include "server/CsvImport.h"
#include "server/HealthCheck.h"
#include "server/PrivateFile.h"
#include "server/RdmServCliente.h"
#include "server/Schema.h"
#include "server/Seeder.h"
#include "server/ServerMetrics.h"
#include "server/SqliteDatabase.h"

#include <CLI/CLI.hpp>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>
#include <systemd/sd-daemon.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

void ParseListen(const std::string& text, ServerOptions& options)
{
    // Port 0 picks a free one.
    if (!HealthCheck::ParseAddress(text, options.listenHost, options.listenPort, 0)) {
        throw CLI::ValidationError("--listen", "'" + text + "' is not HOST:PORT with a port from 0 to 65535");
    }
}

void ParseMetricsListen(const std::string& text, ServerOptions& options)
{
    if (!ServerMetrics::ParseAddress(text, options.metricsHost, options.metricsPort)) {
        throw CLI::ValidationError("--metrics-listen",
                                   "'" + text + "' is not HOST:PORT or PORT with a port from 0 to 65535");
    }
}

std::string ReadSecret(const std::string& path)
{
    std::string secret = PrivateFile::Read(path, "secret file");
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) {
        secret.pop_back();
    }
    if (secret.empty()) {
        throw EInvalidOperation("The secret file " + path + " is empty");
    }
    return secret;
}

// What the command line and the configuration file say.
struct CommandLine {
    ServerOptions options;
    std::string listen;
    std::string metricsListen;
    std::string secretFile;
    std::string sync = "full";
    double lockSeconds = 5;
    double statementSeconds = 30;
    double stopSeconds = 10;
    std::string logLevel = "info";
    int idleSeconds = 600;
    int frameSeconds = 10;
    double handshakeSeconds = 2;
    CLI::App* seed = nullptr;
    std::string seedDb;
    std::string localDb;
    CLI::App* check = nullptr;
    std::string checkAddress;
    std::string checkSecretFile;
    std::string checkCaFile;
    std::string checkFingerprint;
    std::string checkOperator;
    bool checkLiveness = false;
    CLI::App* exportBranches = nullptr;
    std::string exportDb;
    std::string exportLocalDb;
    double checkSeconds = 5;
    CLI::App* passwd = nullptr;
    std::string passwdOperator;
    std::string passwdBranches;
    CLI::App* backup = nullptr;
    std::string backupTo;
    CLI::App* migrate = nullptr;
    bool migrateStatus = false;
    CLI::App* import = nullptr;
    std::string importBranches;
    std::string importClients;
    std::string importServices;
    // --db given after backup or migrate; else the server's.
    std::string commandDb;
};

void AddServingOptions(CLI::App& app, CommandLine& cl)
{
    ServerOptions& options = cl.options;
    app.add_option("--db", options.db, "SQLite file path or postgresql:// URL (also SERVCLIENTE_DB)")
        ->envname("SERVCLIENTE_DB");
    app.add_option("--listen", cl.listen, "HOST:PORT to listen on (default 127.0.0.1:7211; port 0 picks a free one)");
    app.add_option("--metrics-listen", cl.metricsListen,
                   "HOST:PORT, or a PORT of loopback, to serve Prometheus metrics on at /metrics (off unless given)");
    app.add_option("--max-connections", options.maxConnections, "connections served at once (default 32)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--idle-timeout", cl.idleSeconds, "seconds a connection may stay without a call (default 600)")
        ->check(CLI::Range(1, 86400));
    app.add_option("--frame-timeout", cl.frameSeconds, "seconds a begun message has to arrive whole (default 10)")
        ->check(CLI::Range(1, 3600));
    app.add_option("--max-pending-handshakes", options.maxPendingHandshakes,
                   "connections in the handshake at once, beside --max-connections (default 64)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--max-handshakes-per-address", options.maxHandshakesPerAddress,
                   "connections in the handshake at once from one address, an IPv4 /24 or IPv6 /64 (default 8)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--max-sessions-per-operator", options.maxSessionsPerOperator,
                   "sessions one operator may hold at once (default 4)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--max-sessions-per-address", options.maxSessionsPerAddress,
                   "sessions one address, an IPv4 /24 or IPv6 /64, may hold at once (default 16)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--answer-memory", options.answerMemory,
                   "bytes of answers built at once across the server, each call answering a data set counting "
                   "--max-answer (default 16 MiB: 2 such calls at once); a call finding no room within 5 s gets a "
                   "fault it may send again")
        ->check(CLI::Range(size_t{1024}, size_t{1} << 40));
    app.add_option("--handshake-timeout", cl.handshakeSeconds,
                   "seconds a new connection has to finish its handshake "
                   "(default 2)")
        ->check(CLI::Range(0.1, 3600.0));
    app.add_option("--max-frame", options.maxFrame, "largest message accepted, in bytes (default 8 MiB)")
        ->check(CLI::Range(size_t{1024}, size_t{1} << 30));
    app.add_option("--max-answer", options.maxAnswer,
                   "largest answer sent, in bytes (default and most 8 MiB); a larger one becomes a fault")
        ->check(CLI::Range(size_t{1024}, FrameBuffer::kDefaultMaxFrame));
    app.add_option("--max-cells", options.maxCells,
                   "values (rows times fields, plus one a row) the data packets of one call may hold (default 1000000)")
        ->check(CLI::Range(size_t{1}, size_t{100000000}));
    app.add_option("--sync", cl.sync, "SQLite durability: full (default) or normal")
        ->check(CLI::IsMember({"full", "normal"}));
    app.add_option("--lock-timeout", cl.lockSeconds,
                   "PostgreSQL: seconds a change waits for a row another transaction holds before it fails, to be "
                   "sent again (default 5)")
        ->check(CLI::Range(0.1, 600.0));
    app.add_option("--statement-timeout", cl.statementSeconds,
                   "PostgreSQL: seconds one statement may run before it fails (default 30)")
        ->check(CLI::Range(0.1, 3600.0));
    app.add_option("--stop-timeout", cl.stopSeconds,
                   "seconds a stop waits for the calls in progress to end; the process then ends without the ones "
                   "the database does not answer (default 10)")
        ->check(CLI::Range(0.1, 600.0));
    app.add_option("--secret-file", cl.secretFile,
                   "file holding the shared secret clients must present (also SERVCLIENTE_SECRET)");
    app.add_option("--tls-cert", options.tlsCert,
                   "PEM file of the server's TLS certificate (chain); required, with --tls-key, off loopback");
    app.add_option("--tls-key", options.tlsKey, "PEM file of the TLS certificate's private key");
    app.add_option("--credentials", options.credentialsFile,
                   "file of operators, their hashed secrets and branches (lines from: appserver passwd)");
    app.add_option("--log-level", cl.logLevel, "trace, debug, info, warn, error, critical or off (default info)")
        ->transform(CLI::IsMember({"trace", "debug", "info", "warn", "warning", "error", "err", "critical", "off"},
                                  CLI::ignore_case));
}

void AddCommands(CLI::App& app, CommandLine& cl)
{
    cl.seed = app.add_subcommand("seed", "fill a database with demo data");
    cl.seed->add_option("--db", cl.seedDb, "SQLite file path or postgresql:// URL (also SERVCLIENTE_DB)")
        ->envname("SERVCLIENTE_DB")
        ->required();
    cl.seed->add_option("--local-db", cl.localDb, "SQLite file of the shell's local database")->required();

    cl.check = app.add_subcommand("check", "exit 0 when a server answers a handshake and a call that reads its "
                                           "database, 1 with a one-line message otherwise");
    cl.check->add_option("--connect", cl.checkAddress, "HOST:PORT of the server")->required();
    cl.check->add_option("--secret-file", cl.checkSecretFile,
                         "file holding the server's shared secret (also "
                         "SERVCLIENTE_SECRET)");
    cl.check->add_option("--tls-ca-file", cl.checkCaFile,
                         "PEM file of the CA to check a TLS server's certificate against");
    cl.check->add_option("--tls-fingerprint", cl.checkFingerprint,
                         "SHA-256 fingerprint of a TLS server's certificate (as openssl x509 -fingerprint prints it)");
    cl.check->add_option("--operator", cl.checkOperator,
                         "the operator whose secret --secret-file holds, for a server with --credentials");
    cl.check->add_flag("--liveness", cl.checkLiveness,
                       "ask only whether the server is alive and its database answers; needs no secret");
    cl.check
        ->add_option("--timeout", cl.checkSeconds, "seconds allowed for the connection and for the call (default 5)")
        ->check(CLI::Range(0.1, 3600.0));

    cl.exportBranches = app.add_subcommand("export-branches", "write the branches of the server's database into "
                                                              "the workstations' local database, replacing it");
    cl.exportBranches->add_option("--db", cl.exportDb, "SQLite file path or postgresql:// URL (also SERVCLIENTE_DB)")
        ->envname("SERVCLIENTE_DB")
        ->required();
    cl.exportBranches->add_option("--local-db", cl.exportLocalDb, "SQLite file the shells read (LocalDatabase)")
        ->required();

    cl.passwd = app.add_subcommand("passwd", "print a credentials file line for an operator; the secret is "
                                             "read from standard input");
    cl.passwd->add_option("--operator", cl.passwdOperator, "the operator's name")->required();
    cl.passwd->add_option("--branches", cl.passwdBranches, "branch codes apart by commas, or * for all")->required();

    cl.backup = app.add_subcommand("backup", "copy the SQLite database, while the server runs, to a file private to "
                                             "its owner (PostgreSQL: use pg_dump)");
    cl.backup->add_option("--to", cl.backupTo, "the copy's file")->required();
    cl.backup->add_option("--db", cl.commandDb,
                          "the database (default: the server's --db, configuration file or "
                          "SERVCLIENTE_DB)");

    cl.import = app.add_subcommand("import", "load a business's branches, clients and services from CSV files "
                                             "(UTF-8, a header row naming the columns); a row stored already is "
                                             "updated");
    cl.import->add_option("--branches", cl.importBranches, "CSV of FILIAL: CDFILIAL, NMFILIAL");
    cl.import->add_option("--clients", cl.importClients,
                          "CSV of CLIENTE: CDFILIAL, CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE");
    cl.import->add_option("--services", cl.importServices, "CSV of SERVFILI: CDFILIAL, CDSERVFILI, NMSERVICO");
    cl.import->add_option("--db", cl.commandDb,
                          "the database (default: the server's --db, configuration file or "
                          "SERVCLIENTE_DB)");

    cl.migrate = app.add_subcommand("migrate", "bring the database's schema to this appserver's version (the "
                                               "server does so at start too)");
    cl.migrate->add_option("--db", cl.commandDb,
                           "the database (default: the server's --db, configuration file or "
                           "SERVCLIENTE_DB)");
    cl.migrate->add_flag("--status,--dry-run", cl.migrateStatus,
                         "only print the version found and this appserver's, changing nothing");
}

// The secret from its file, else from SERVCLIENTE_SECRET, else none.
std::string SecretOf(const std::string& file)
{
    if (!file.empty()) {
        return ReadSecret(file);
    }
    if (const char* env = std::getenv("SERVCLIENTE_SECRET"); env && *env) {
        return env;
    }
    return {};
}

int RunCheck(const CommandLine& cl)
{
    std::string host;
    int port = 0;
    if (!HealthCheck::ParseAddress(cl.checkAddress, host, port)) {
        std::fprintf(stderr, "appserver check: '%s' is not HOST:PORT with a port from 1 to 65535\n",
                     cl.checkAddress.c_str());
        return 2;
    }
    std::shared_ptr<TlsContext> tls;
    if (!cl.checkCaFile.empty() || !cl.checkFingerprint.empty()) {
        tls = TlsContext::ForClient(cl.checkCaFile, cl.checkFingerprint);
    }
    const std::chrono::milliseconds timeout(static_cast<long>(cl.checkSeconds * 1000));
    auto result = cl.checkLiveness
                      ? HealthCheck::Liveness(host, port, timeout, tls)
                      : HealthCheck::Run(host, port, SecretOf(cl.checkSecretFile), timeout, tls, cl.checkOperator);
    std::fprintf(result.ok ? stdout : stderr, "%s%s\n",
                 result.ok ? "ok: " : "appserver check: ", result.message.c_str());
    return result.ok ? 0 : 1;
}

int RunPasswd(const CommandLine& cl)
{
    std::string secret;
    std::getline(std::cin, secret);
    if (!secret.empty() && secret.back() == '\r') {
        secret.pop_back();
    }
    std::printf("%s\n", Credentials::Line(cl.passwdOperator, secret, cl.passwdBranches).c_str());
    return 0;
}

int RunExportBranches(const CommandLine& cl)
{
    auto db = Database::Open(cl.exportDb, cl.options.database);
    const int count = BranchExport::Export(*db, cl.exportLocalDb);
    spdlog::info("wrote {} branches to {}", count, cl.exportLocalDb);
    return 0;
}

int RunSeed(const CommandLine& cl)
{
    auto db = Database::Open(cl.seedDb, cl.options.database);
    auto counts = Seeder::Seed(*db);
    Seeder::SeedLocal(cl.localDb);
    spdlog::info("seeded {} branches, {} clients, {} services, {} assignments (rows already there kept)",
                 counts.branches, counts.clients, counts.services, counts.assignments);
    return 0;
}

// The database of backup and migrate, as the server would find it; empty
// (with a message) when none is given.
std::string CommandDb(const CommandLine& cl, const char* command)
{
    const std::string& db = cl.commandDb.empty() ? cl.options.db : cl.commandDb;
    if (db.empty()) {
        std::fprintf(stderr, "appserver %s: no database: give --db, db in the --config file, or SERVCLIENTE_DB\n",
                     command);
    }
    return db;
}

int RunBackup(const CommandLine& cl)
{
    const std::string db = CommandDb(cl, "backup");
    if (db.empty()) {
        return 2;
    }
    try {
        const long long pages = Database::Backup(db, cl.backupTo, cl.options.database);
        std::printf("appserver backup: %s copied to %s (%lld pages, private to its owner)\n", db.c_str(),
                    cl.backupTo.c_str(), pages);
        return 0;
    } catch (const EDatabaseUnsupported& e) {
        std::fprintf(stderr, "appserver backup: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "appserver backup: failed: %s\n", e.what());
        return 1;
    }
}

int RunImport(const CommandLine& cl)
{
    const std::string location = CommandDb(cl, "import");
    if (location.empty()) {
        return 2;
    }
    // Branches first: clients and services name them.
    const std::pair<const char*, const std::string*> files[] = {
        {"FILIAL", &cl.importBranches}, {"CLIENTE", &cl.importClients}, {"SERVFILI", &cl.importServices}};
    if (std::all_of(std::begin(files), std::end(files), [](const auto& f) { return f.second->empty(); })) {
        std::fprintf(stderr, "appserver import: nothing to load: give --branches, --clients or --services\n");
        return 2;
    }
    try {
        auto db = Database::Open(location, cl.options.database);
        Schema::Migrate(*db);
        for (const auto& [table, file] : files) {
            if (file->empty()) {
                continue;
            }
            try {
                const long rows = CsvImport::Load(*db, table, *file);
                std::printf("appserver import: %s: %ld rows of %s stored\n", file->c_str(), rows, table);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "appserver import: %s; nothing of %s was stored\n", e.what(), file->c_str());
                return 1;
            }
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "appserver import: failed: %s\n", e.what());
        return 1;
    }
}

int RunMigrate(const CommandLine& cl)
{
    const std::string location = CommandDb(cl, "migrate");
    if (location.empty()) {
        return 2;
    }
    if (!Database::Exists(location)) {
        std::fprintf(stderr, "appserver migrate: there is no database %s\n", location.c_str());
        return 1;
    }
    try {
        auto db = Database::Open(location, cl.options.database);
        if (cl.migrateStatus) {
            const int found = Schema::Found(*db);
            std::printf("appserver migrate: schema version %d found; this appserver's is %d%s\n", found,
                        Schema::kCurrent,
                        found < Schema::kCurrent   ? " (appserver migrate brings it there)"
                        : found > Schema::kCurrent ? " (the database is newer: this appserver refuses it)"
                                                   : " (nothing to do)");
            return found > Schema::kCurrent ? 1 : 0;
        }
        const int found = Schema::Migrate(*db);
        if (found == Schema::kCurrent) {
            std::printf("appserver migrate: schema version %d found, the current one; nothing to do\n", found);
        } else {
            std::printf("appserver migrate: schema version %d found, brought to version %d\n", found, Schema::kCurrent);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "appserver migrate: failed: %s\n", e.what());
        return 1;
    }
}

// The answers of many rows come and go on every call. Given back to the
// system after each one, their memory is taken again by the next answer, and
// the kernel zeroes every page of it again: that cost more than building the
// answer. The allocator keeps what a large answer needs instead. What it
// keeps is shared by the sessions' threads (few arenas, not one a thread), so
// that the answers built at once, which the server bounds, bound it too.
void KeepAnswerMemory()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_ARENA_MAX, 2);
#endif
}

int RunServer(CommandLine& cl, const CLI::App& app)
{
    ServerOptions& options = cl.options;
    if (options.db.empty()) {
        std::cerr << "--db is required (on the command line, in the --config file or in SERVCLIENTE_DB)\n"
                  << app.help();
        return 2;
    }
    if (!cl.listen.empty()) {
        ParseListen(cl.listen, options);
    }
    if (!cl.metricsListen.empty()) {
        ParseMetricsListen(cl.metricsListen, options);
    }
    options.secret = SecretOf(cl.secretFile);
    options.idleTimeout = std::chrono::seconds(cl.idleSeconds);
    options.frameTimeout = std::chrono::seconds(cl.frameSeconds);
    options.handshakeTimeout = std::chrono::milliseconds(static_cast<long>(cl.handshakeSeconds * 1000));
    options.database.fullSync = cl.sync == "full";
    options.database.lockTimeoutMs = static_cast<int>(cl.lockSeconds * 1000);
    options.database.statementTimeoutMs = static_cast<int>(cl.statementSeconds * 1000);
    options.stopTimeout = std::chrono::milliseconds(static_cast<long>(cl.stopSeconds * 1000));

    KeepAnswerMemory();
    ModuleRegistry registry;
    RdmServCliente::Register(registry);
    AppServer server(options, registry);
    server.Start();
    server.HandleSignals();
    if (options.tlsCert.empty()) {
        spdlog::info("TLS: off (loopback only)");
    } else {
        spdlog::info("TLS: on, certificate {} (SHA-256 fingerprint {})", options.tlsCert,
                     CertificateFile::Sha256Fingerprint(options.tlsCert));
    }
    std::printf("listening on %s\n", server.ListenAddress().c_str());
    if (const std::string metrics = server.MetricsAddress(); !metrics.empty()) {
        std::printf("metrics on http://%s/metrics\n", metrics.c_str());
        spdlog::info("metrics: http://{}/metrics", metrics);
    }
    std::fflush(stdout);
    spdlog::info("listening on {} (at most {} connections and {} handshakes; {} bytes a message, {} values a call)",
                 server.ListenAddress(), options.maxConnections, options.maxPendingHandshakes, options.maxFrame,
                 options.maxCells);
    // Under systemd (Type=notify) the service is up once it listens;
    // without NOTIFY_SOCKET these do nothing.
    sd_notify(0, "READY=1");
    server.Run();
    sd_notify(0, "STOPPING=1");
    if (server.Abandoned() > 0) {
        // Their threads still use the server: nothing may be destroyed.
        spdlog::shutdown();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

// A fault of the configuration file named with its file and line: a key that
// names no option, or a bad value of an option the command line did not give.
// Other faults as CLI11 words them.
int ConfigFault(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv)
{
    const std::string file = app.get_option("--config")->as<std::string>();
    const std::string extras = CLI::ConfigError::Extras("").what();
    const std::string what = e.what();
    std::string key;
    bool anySection = false;
    if (what.rfind(extras, 0) == 0) {
        key = what.substr(extras.size());
    } else if (what.rfind("--", 0) == 0 && what.find(':') != std::string::npos) {
        key = what.substr(2, what.find(':') - 2);
        anySection = true;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--" + key || arg.rfind("--" + key + "=", 0) == 0) {
                key.clear();
            }
        }
    }
    int line = 0;
    if (!file.empty() && !key.empty()) {
        std::ifstream in(file, std::ios::binary);
        line = ConfigFile::LineOf(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
                                  key, anySection);
    }
    if (line == 0) {
        return app.exit(e);
    }
    if (anySection) {
        std::fprintf(stderr, "appserver: %s:%d: %s\n", file.c_str(), line, what.c_str());
    } else {
        std::fprintf(stderr, "appserver: %s:%d: '%s' is no option of appserver (appserver --help lists them)\n",
                     file.c_str(), line, key.c_str());
    }
    return 2;
}

// A configuration file that gives a key twice would keep one value without a
// word (the sample's active listen line over one appended below it): it is
// refused, naming both lines. 0 when there is none, or no file.
int RefuseRepeatedKeys(int argc, char** argv)
{
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            file = argv[i + 1];
        } else if (arg.rfind("--config=", 0) == 0) {
            file = arg.substr(9);
        }
    }
    if (file.empty()) {
        return 0;
    }
    std::ifstream in(file, std::ios::binary);
    const auto repeated =
        ConfigFile::FirstRepeated(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    if (!repeated) {
        return 0;
    }
    std::fprintf(stderr, "appserver: %s:%d: '%s' is given again; line %d gives it already: keep one of them\n",
                 file.c_str(), repeated->second, repeated->fullName.c_str(), repeated->first);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    spdlog::set_default_logger(spdlog::stderr_color_mt("appserver"));
    // Nothing here reads SQLite's memory statistics, and keeping them takes
    // a lock shared by every session on each allocation SQLite makes. Set
    // before SQLite is first used.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);

    CLI::App app{"Application server of the service-per-client screen"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", SERVCLIENTE_VERSION);
    // Every option may be given in the file (INI or TOML: "listen = ..." at
    // the top, "[seed]" for the seed command's); a key naming no option is an
    // error, so that a misspelt one is not ignored.
    app.set_config("--config", "", "read options from this INI or TOML file; the command line overrides it");
    app.allow_config_extras(CLI::config_extras_mode::error);
    CommandLine cl;
    AddServingOptions(app, cl);
    AddCommands(app, cl);
    if (const int status = RefuseRepeatedKeys(argc, argv); status != 0) {
        return status;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return ConfigFault(app, e, argc, argv);
    }
    spdlog::set_level(spdlog::level::from_str(cl.logLevel));

    try {
        if (*cl.check) {
            return RunCheck(cl);
        }
        if (*cl.passwd) {
            return RunPasswd(cl);
        }
        if (*cl.seed) {
            return RunSeed(cl);
        }
        if (*cl.exportBranches) {
            return RunExportBranches(cl);
        }
        if (*cl.backup) {
            return RunBackup(cl);
        }
        if (*cl.migrate) {
            return RunMigrate(cl);
        }
        if (*cl.import) {
            return RunImport(cl);
        }
        return RunServer(cl, app);
    } catch (const CLI::Error& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        spdlog::error("{}", e.what());
        return 1;
    }
}
