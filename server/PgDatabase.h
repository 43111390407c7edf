#pragma once
// The PostgreSQL database, reached through libpq with a connection URL. The
// URL (which may hold a password) never appears in a message.
#include "server/Database.h"

#include <memory>
#include <unordered_map>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

class PgDatabase : public Database {
public:
    PgDatabase(const std::string& url, const DatabaseOptions& options);
    ~PgDatabase() override;
    PgDatabase(const PgDatabase&) = delete;
    PgDatabase& operator=(const PgDatabase&) = delete;

    std::string Kind() const override { return "PostgreSQL"; }
    std::unique_ptr<Database> OpenAnother() const override;
    void ExecScript(const std::string& sql) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) override;
    long long Execute(const std::string& sql, const std::vector<SqlValue>& params) override;
    void ExecuteLater(const std::string& sql, const std::vector<SqlValue>& params) override;
    // NOTIFY on the channel every server on the database listens on.
    void Announce(const std::string& text) override;
    bool AnnouncesToOtherServers() const override { return true; }
    static constexpr const char* kChannel = "servcliente_changes";
    std::string ChangeAndRecord(const std::string& change, const std::string& record,
                                const std::string& guard) const override;
    // The statement's own moment (clock_timestamp), not its transaction's:
    // a batch that waited for another still stamps after it.
    std::string TimeOfExecution() const override
    {
        // Without a colon in its text, which would read as a parameter.
        return "translate(to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24|MI|SS.US\"Z\"'), '|', "
               "chr(58))";
    }
    // PostgreSQL is backed up with its own tools: always throws
    // EDatabaseUnsupported saying how.
    [[noreturn]] static long long Backup(const std::string& location, const std::string& to,
                                         const DatabaseOptions& options);
    void Begin(bool write) override;
    void Commit() override;
    void Rollback() noexcept override;
    int StoredVersion() override;
    void StoreVersion(int version) override;
    void LockSchema() override;
    bool HasTable(const std::string& table) override;
    bool HasColumn(const std::string& table, const std::string& column) override;

    // The statement with its '?' placeholders numbered $1, $2... as
    // PostgreSQL takes them. Statements here hold no quoted question marks,
    // so every '?' is a placeholder.
    static std::string NumberedPlaceholders(const std::string& sql);

private:
    // Connects, or connects again after the connection broke.
    void Ensure();
    std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params, long long* changed);
    // The name of sql's prepared statement on this connection, preparing it
    // on its first use: the server runs the same few statements on every call.
    const std::string& Prepared(const std::string& sql, int paramCount);
    // One statement of a pipeline: a prepared statement with its values, or
    // (without values) a text such as BEGIN or COMMIT.
    struct Step {
        std::string sql;
        std::vector<SqlValue> params;
        bool prepared = true;
    };
    // Sends steps in one pipeline closed by a sync, one round trip, and
    // returns each step's result (null for a step that got none). Prepares
    // the statements that this connection has not seen first.
    struct ResultFree {
        void operator()(PGresult* r) const;
    };
    using ResultPtr = std::unique_ptr<PGresult, ResultFree>;
    std::vector<ResultPtr> Pipeline(const std::vector<Step>& steps);
    // Runs steps as one pipeline and throws the first failure. fresh says that
    // nothing of the transaction reached the server before, so that a
    // connection found broken may be opened again and the steps sent once
    // more, when the first step did not succeed (nothing can have been stored).
    std::vector<ResultPtr> RunPipeline(const std::vector<Step>& steps, bool fresh);
    // Throws the failure of r (or of the connection when r is null).
    void Check(PGresult* r);

    std::string url_;
    DatabaseOptions options_;
    PGconn* conn_ = nullptr;
    // Whether a connection was made before: making another is a reconnect.
    bool connected_ = false;
    // Prepared statements of conn_, by their text; a new connection has none.
    std::unordered_map<std::string, std::string> statements_;
    // Begin was called and no statement has run since: BEGIN travels with
    // the transaction's first statement, saving a round trip per call.
    bool beginPending_ = false;
    // A transaction is open (Begin called, no Commit or Rollback since).
    bool open_ = false;
    // The open transaction only reads: its statements run without BEGIN.
    bool readOnly_ = false;
    // ExecuteLater's statements, sent with the next statement or the commit.
    std::vector<Step> later_;
};
