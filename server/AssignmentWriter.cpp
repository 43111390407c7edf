#include "server/AssignmentWriter.h"

#include "platform/net/ServClienteContract.h"
#include "server/ExistenceChecks.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

const ContractDataSet& Assigned()
{
    return ServClienteContract::Get().DataSet(ServClienteContract::kAssigned);
}

// "A, B" or, with prefix ":", ":A, :B".
std::string List(const std::vector<std::string>& columns, const char* prefix = "")
{
    std::string list;
    for (const std::string& column : columns) {
        list += (list.empty() ? "" : ", ") + std::string(prefix) + column;
    }
    return list;
}

// The columns the server writes the moment it stores an assignment.
const std::vector<std::string>& StampedColumns()
{
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> stamped;
        for (const ContractField& f : Assigned().fields) {
            if (f.stampedByServer) {
                stamped.push_back(f.name);
            }
        }
        return stamped;
    }();
    return columns;
}

const std::string kKeyMatch = "CDFILIAL = :CDFILIAL AND CDCLIENTE = :CDCLIENTE AND CDSERVFILI = :CDSERVFILI";
const std::string kClient = "FROM CLIENTE WHERE CDFILIAL = :CDFILIAL AND CDCLIENTE = :CDCLIENTE";
const std::string kService = "FROM SERVFILI WHERE CDFILIAL = :CDFILIAL AND CDSERVFILI = :CDSERVFILI";

// The audit row, as an INSERT ... SELECT so that an engine can make it
// depend on its change (Database::ChangeAndRecord).
const std::string kRecord = "INSERT INTO AUDITORIA (DTAUDITORIA, NMOPERADOR, NMENDERECO, NMMETODO, CDFILIAL, "
                            "CDCLIENTE, CDSERVFILI, DSACAO, NRLINHAS) SELECT :DTAUDITORIA, :NMOPERADOR, "
                            ":NMENDERECO, :NMMETODO, :CDFILIAL, :CDCLIENTE, :CDSERVFILI, :DSACAO, "
                            "CAST(:NRLINHAS AS integer)";

// text with the audit time and the stamped columns taken by the database
// when the statement runs, for an engine that tells it
// (Database::TimeOfExecution): values bound for them are then not used.
std::string AtExecution(const Database& db, std::string text)
{
    const std::string now = db.TimeOfExecution();
    if (now.empty()) {
        return text;
    }
    std::vector<std::string> names = StampedColumns();
    names.emplace_back("DTAUDITORIA");
    for (const std::string& name : names) {
        const std::string param = ":" + name;
        for (size_t at = text.find(param); at != std::string::npos; at = text.find(param, at)) {
            const size_t end = at + param.size();
            if (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
                at = end;
                continue;
            }
            text.replace(at, param.size(), now);
            at += now.size();
        }
    }
    return text;
}

const SqlStatement& Remove()
{
    static const SqlStatement statement("DELETE FROM SERVCLIE WHERE " + kKeyMatch);
    return statement;
}
const SqlStatement& RemoveAll()
{
    static const SqlStatement statement("DELETE FROM SERVCLIE WHERE CDFILIAL = :CDFILIAL AND CDCLIENTE = :CDCLIENTE");
    return statement;
}

// The values of the statements that take only the assignment's key.
SqlStatement::Values KeyValues(const AssignmentKey& key)
{
    return {{"CDFILIAL", key.branch}, {"CDCLIENTE", key.client}, {"CDSERVFILI", key.service}};
}

} // namespace

SqlStatement::Values AssignmentWriter::InsertValues(const AssignmentKey& key)
{
    SqlStatement::Values values = KeyValues(key);
    if (!StampedColumns().empty()) {
        const std::string now = AuditTime();
        for (const std::string& column : StampedColumns()) {
            values.emplace_back(column, now);
        }
    }
    return values;
}

const std::vector<std::string>& AssignmentWriter::Columns()
{
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> own;
        for (const ContractField& f : Assigned().fields) {
            if (f.name != "NMSERVICO") {
                own.push_back(f.name);
            }
        }
        return own;
    }();
    return columns;
}

const SqlStatement& AssignmentWriter::Record()
{
    static const SqlStatement statement(kRecord);
    return statement;
}

SqlStatement AssignmentWriter::CheckedInsert(const Database& db)
{
    // Only SERVCLIE's own columns: the service's name is SERVFILI's.
    return SqlStatement(AtExecution(db, db.IgnoringDuplicates("INSERT INTO SERVCLIE (" + List(Columns()) + ") SELECT " +
                                                              List(Columns(), ":") + " WHERE EXISTS (SELECT 1 " +
                                                              kClient + ") AND EXISTS (SELECT 1 " + kService + ")")));
}

std::optional<SqlStatement> AssignmentWriter::RecordedChange(const Database& db, bool insert)
{
    // A stored insert proves its client and service by SERVCLIE's foreign
    // keys; a deletion that removed nothing counts them.
    const std::string text =
        insert ? db.ChangeAndRecord(db.IgnoringDuplicates("INSERT INTO SERVCLIE (" + List(Columns()) + ") VALUES (" +
                                                          List(Columns(), ":") + ")"),
                                    kRecord, "")
               : db.ChangeAndRecord("DELETE FROM SERVCLIE WHERE " + kKeyMatch, kRecord,
                                    "(SELECT COUNT(*) " + kClient + ") * (SELECT COUNT(*) " + kService + ")");
    if (text.empty()) {
        return std::nullopt;
    }
    return SqlStatement(AtExecution(db, text));
}

SqlStatement::Values AssignmentWriter::Values(const std::string& method, const AssignmentKey& key, const char* action,
                                              long long rows) const
{
    const std::string now = AuditTime();
    SqlStatement::Values values = {
        {"CDFILIAL", key.branch}, {"CDCLIENTE", key.client},       {"CDSERVFILI", key.service},
        {"DTAUDITORIA", now},     {"NMOPERADOR", caller_.Who()},   {"NMENDERECO", caller_.peer},
        {"NMMETODO", method},     {"DSACAO", std::string(action)}, {"NRLINHAS", std::to_string(rows)}};
    for (const std::string& column : StampedColumns()) {
        values.emplace_back(column, now);
    }
    return values;
}

void AssignmentWriter::Audit(Database& db, const std::string& method, const AssignmentKey& key, const char* action,
                             long long rows) const
{
    if (!record_) {
        record_ = SqlStatement(AtExecution(db, kRecord));
    }
    db.ExecuteLater(record_->Text(), record_->Bind(Values(method, key, action, rows)));
}

long long AssignmentWriter::DeleteAll(Database& db, const std::string& method, const AssignmentKey& key)
{
    const long long removed = db.Execute(RemoveAll().Text(), RemoveAll().Bind(KeyValues(key)));
    // A client without services lost nothing: nothing is recorded.
    if (removed > 0) {
        Audit(db, method, key, "all deleted", removed);
    }
    return removed;
}

bool AssignmentWriter::Hold(Database& db, const std::string& method, const std::vector<AssignmentChange>& changes) const
{
    const bool edits = std::any_of(changes.begin(), changes.end(),
                                   [](const AssignmentChange& c) { return c.status == TUpdateStatus::usModified; });
    if (!recorded_) {
        recorded_ = {RecordedChange(db, true), RecordedChange(db, false)};
    }
    const auto& [insertAudited, deleteAudited] = *recorded_;
    if (!insertAudited || !deleteAudited || edits || changes.empty()) {
        return false;
    }
    for (const auto& c : changes) {
        const bool insert = c.status == TUpdateStatus::usInserted;
        const SqlStatement& statement = insert ? *insertAudited : *deleteAudited;
        db.ExecuteLater(statement.Text(), statement.Bind(Values(method, c.key, insert ? "inserted" : "deleted", 1)));
    }
    return true;
}

void AssignmentWriter::ApplyChecked(Database& db, const std::string& m, const std::vector<AssignmentChange>& changes)
{
    // The changes go first; the call runs in one transaction, so a refusal
    // below undoes them all. An insert stores a row only when its client and
    // service exist, and a row that was inserted or deleted proves that both
    // exist, so only the changes that touched nothing (and the rare edits)
    // need the existence check.
    if (!insert_) {
        insert_ = CheckedInsert(db);
    }
    auto insertRow = [&](const AssignmentKey& k) {
        return db.Execute(insert_->Text(), insert_->Bind(InsertValues(k)));
    };
    auto removeRow = [&](const AssignmentKey& k) { return db.Execute(Remove().Text(), Remove().Bind(KeyValues(k))); };
    auto inserted = [&](const AssignmentKey& k) {
        if (insertRow(k) == 0) {
            return false;
        }
        Audit(db, m, k, "inserted", 1);
        return true;
    };
    auto removed = [&](const AssignmentKey& k) {
        if (removeRow(k) == 0) {
            return false;
        }
        Audit(db, m, k, "deleted", 1);
        return true;
    };
    ExistenceChecks checks;
    for (const auto& c : changes) {
        const AssignmentKey& k = c.key;
        switch (c.status) {
        case TUpdateStatus::usInserted:
            if (!inserted(k)) {
                checks.Add(k.branch, k.client, k.service, c.entry);
            }
            break;
        case TUpdateStatus::usDeleted:
            if (!removed(k)) {
                checks.Add(k.branch, k.client, k.service, c.entry);
            }
            break;
        case TUpdateStatus::usModified:
            checks.Add(c.original.branch, c.original.client, c.original.service, c.entry);
            checks.Add(k.branch, k.client, k.service, c.entry);
            if (!(c.original == k)) {
                removed(c.original);
                inserted(k);
            }
            break;
        case TUpdateStatus::usUnmodified: break;
        }
    }
    checks.RefuseMissing(db, m);
}

std::string AssignmentWriter::AuditTime()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(micros));
    return text;
}
