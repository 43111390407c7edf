#include "server/RdmServCliente.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/ServClienteContract.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace {

// The data sets the methods answer and their fields, as the contract
// declares them: the sizes of the texts the methods take come from there.
const ContractDataSet& Clients()
{
    return ServClienteContract::Get().DataSet(ServClienteContract::kClients);
}
const ContractDataSet& Services()
{
    return ServClienteContract::Get().DataSet(ServClienteContract::kServices);
}
const ContractDataSet& Assigned()
{
    return ServClienteContract::Get().DataSet(ServClienteContract::kAssigned);
}
int SizeOf(const char* field)
{
    return Assigned().FieldIndex(field) >= 0 ? Assigned().Field(field).size : Clients().Field(field).size;
}

// The select list of a data set's fields, each column named by the table
// alias tableOf gives it ("s." or "" for none).
template <typename TableOf>
std::string Columns(const ContractDataSet& dataSet, TableOf tableOf)
{
    std::string list;
    for (const auto& f : dataSet.fields) {
        list += (list.empty() ? "" : ", ") + std::string(tableOf(f.name)) + f.name;
    }
    return list;
}

// The operator's words for a field an argument fills.
std::string Describe(const std::string& field)
{
    if (field == "CDFILIAL") {
        return "branch code";
    }
    if (field == "CDCLIENTE") {
        return "client code";
    }
    if (field == "NRINSJURCLIE") {
        return "registration number";
    }
    if (field == "CDSERVFILI") {
        return "service code";
    }
    return field;
}

void CheckSize(const std::string& method, const std::string& field, const std::string& text, int size)
{
    if (text.size() > static_cast<size_t>(size)) {
        throw ERemoteRefusal(method + ": the " + Describe(field) + " has " + std::to_string(text.size()) +
                                 " characters, more than the " + std::to_string(size) + " it may have",
                             0, "srv.texto_longo", {method, field, std::to_string(text.size()), std::to_string(size)});
    }
}

// A Windows-1252 argument as the database stores it.
std::string ToDb(const std::string& method, const std::string& field, const std::string& text)
{
    try {
        return Cp1252::ToUtf8(text);
    } catch (const EConvertError& e) {
        throw ERemoteRefusal(method + ": the " + Describe(field) + " holds a byte that is not a character: " + e.what(),
                             0, "srv.texto_invalido", {method, field});
    }
}

// A stored text as the client reads it, converted in its own bytes where it
// can; trailing blanks of fixed-width columns are dropped so both databases
// answer alike. The row is named in messages as what and its key.
FieldValue FromDb(const std::string& method, SqlValue&& value, bool trimRight, const char* what, const std::string& key)
{
    if (!value) {
        return std::nullopt;
    }
    std::string text;
    try {
        text = Cp1252::TakeFromUtf8(std::move(*value));
    } catch (const EConvertError& e) {
        throw ERemoteError(method + ": " + what + " " + key + " holds a character that Windows-1252 cannot show (" +
                               e.what() + ")",
                           "srv.dado_ilegivel", {method, key});
    }
    if (trimRight) {
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
    }
    return text;
}

// A key text (branch, client, service) holding a control character is
// refused before anything is written: it would reach the log and the audit
// as a line break or a terminal command.
void CheckKey(const std::string& method, const std::string& field, const std::string& text, unsigned entry = 0)
{
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", c);
            const std::string where = entry ? " of entry " + std::to_string(entry) + " of the change packet" : "";
            throw ERemoteRefusal(method + ": the " + Describe(field) + where + " holds the control character " + code +
                                     ", which a key may not hold; nothing was stored",
                                 entry, "srv.texto_invalido", {method, field});
        }
    }
}

void CheckStored(const std::string& method, const PacketField& field, const FieldValue& value, const char* what,
                 const std::string& key)
{
    if (value && value->size() > static_cast<size_t>(field.size)) {
        throw ERemoteError(method + ": " + what + " " + key + " has a " + field.name + " of " +
                               std::to_string(value->size()) + " characters, more than the " +
                               std::to_string(field.size) + " it may have",
                           "srv.dado_ilegivel", {method, key});
    }
}

// A row of a query, its columns in the data set's order, as the packet's next
// row: each stored text converted and checked against its field, a
// fixed-width column's trailing blanks dropped. The row is named in messages
// as what and its key column's text ("service 00012").
void AddRow(DataPacket& packet, const std::string& method, SqlRow&& row, const ContractDataSet& dataSet,
            const char* what, size_t key)
{
    const std::string named = row[key].value_or("");
    // A query's row holds its values as a packet row does: converted where
    // they are.
    PacketRow out;
    out.values = std::move(row);
    for (size_t i = 0; i < out.values.size(); ++i) {
        out.values[i] = FromDb(method, std::move(out.values[i]), dataSet.fields[i].fixedWidth, what, named);
        CheckStored(method, packet.fields[i], out.values[i], what, named);
    }
    packet.rows.push_back(std::move(out));
}

// Rows in the order of one column's text. A database that read them through
// the key's index hands them over in that order already, and checking costs
// less than sorting.
void SortByColumn(DataPacket& packet, const ContractDataSet& dataSet, const char* field)
{
    const auto column = static_cast<size_t>(dataSet.FieldIndex(field));
    auto before = [column](const PacketRow& a, const PacketRow& b) { return a.values[column] < b.values[column]; };
    if (!std::is_sorted(packet.rows.begin(), packet.rows.end(), before)) {
        std::sort(packet.rows.begin(), packet.rows.end(), before);
    }
}

std::string Digits(const std::string& text)
{
    std::string d;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            d.push_back(c);
        }
    }
    return d;
}

bool Blank(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// Sort key of a name: upper case with accents taken off, so "Álvaro" sorts
// among the A's on both databases, whatever their collation.
std::string NameKey(const std::string& cp1252)
{
    static const char* fold = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTSAAAAAAACEEEEIIIIDNOOOOO/OUUUUYTY";
    std::string key;
    for (char ch : cp1252) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0xC0) {
            key.push_back(fold[c - 0xC0]);
        } else {
            key.push_back(Cp1252::UpperCase(ch));
        }
    }
    return key;
}

// One key field of a change packet's entry in the database's form, refused
// for good, naming the entry, when it is missing, too long or not text.
std::string KeyText(const std::string& method, const FieldValue& value, const char* name, int size, unsigned entry)
{
    if (!value || value->empty()) {
        throw ERemoteRefusal(method + ": entry " + std::to_string(entry) + " of the change packet has no " + name +
                                 "; nothing was stored",
                             entry, "srv.pacote_invalido", {method});
    }
    if (value->size() > static_cast<size_t>(size)) {
        throw ERemoteRefusal(
            method + ": the " + name + " of entry " + std::to_string(entry) + " has " + std::to_string(value->size()) +
                " characters, more than the " + std::to_string(size) + " it may have; nothing was stored",
            entry, "srv.texto_longo", {method, name, std::to_string(value->size()), std::to_string(size)});
    }
    CheckKey(method, name, *value, entry);
    try {
        return ToDb(method, name, *value);
    } catch (const ERemoteRefusal& e) {
        throw ERemoteRefusal(e.what(), entry, e.Code(), e.Args());
    }
}

// The clients and services whose existence a change packet still has to
// prove, each with the first entry that names it.
struct ExistenceChecks {
    using Pair = std::pair<std::string, std::string>;
    std::map<Pair, unsigned> clients;
    std::map<Pair, unsigned> services;

    void Add(const std::string& branch, const std::string& client, const std::string& service, unsigned entry)
    {
        clients.emplace(Pair{branch, client}, entry);
        services.emplace(Pair{branch, service}, entry);
    }

    // A client and a service share one query. The missing client or service
    // named by the earliest entry is refused, with that entry, so that the
    // caller can drop it and send the rest again.
    void RefuseMissing(Database& db, const std::string& method) const
    {
        using Missing = std::pair<Pair, unsigned>;
        std::optional<Missing> client;
        std::optional<Missing> service;
        auto note = [](std::optional<Missing>& earliest, const Missing& found) {
            if (!earliest || found.second < earliest->second) {
                earliest = found;
            }
        };
        auto c = clients.begin();
        auto s = services.begin();
        while (c != clients.end() || s != services.end()) {
            const bool both = c != clients.end() && s != services.end();
            if (both) {
                auto found = db.Query("SELECT (SELECT 1 FROM CLIENTE WHERE CDFILIAL = ? AND CDCLIENTE = ?), "
                                      "(SELECT 1 FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?)",
                                      {c->first.first, c->first.second, s->first.first, s->first.second});
                const bool answered = !found.empty() && found[0].size() == 2;
                if (!answered || !found[0][0]) {
                    note(client, *c);
                }
                if (!answered || !found[0][1]) {
                    note(service, *s);
                }
            } else if (c != clients.end()) {
                if (db.Query("SELECT 1 FROM CLIENTE WHERE CDFILIAL = ? AND CDCLIENTE = ?",
                             {c->first.first, c->first.second})
                        .empty()) {
                    note(client, *c);
                }
            } else if (db.Query("SELECT 1 FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?",
                                {s->first.first, s->first.second})
                           .empty()) {
                note(service, *s);
            }
            if (c != clients.end()) {
                ++c;
            }
            if (s != services.end()) {
                ++s;
            }
        }
        if (client && (!service || client->second <= service->second)) {
            Refuse(method, *client, "client", "srv.sem_cliente");
        }
        if (service) {
            Refuse(method, *service, "service", "srv.sem_servico");
        }
    }

    [[noreturn]] static void Refuse(const std::string& method, const std::pair<Pair, unsigned>& missing,
                                    const char* what, const char* code)
    {
        const std::string branch = Cp1252::FromUtf8(missing.first.first);
        const std::string key = Cp1252::FromUtf8(missing.first.second);
        throw ERemoteRefusal(method + ": the branch " + branch + " has no " + what + " " + key + "; nothing was stored",
                             missing.second, code, {branch, key});
    }
};

} // namespace

RdmServCliente::RdmServCliente(Database* db, Caller caller, std::shared_ptr<GroupCommit> group)
    : RemoteModule(ServClienteContract::Get(), db), caller_(std::move(caller)), group_(std::move(group))
{
    auto two = [this](const char* name, Variant (RdmServCliente::*fn)(const std::string&, const std::string&)) {
        AddMethod(name, [this, fn](std::vector<Variant>& args) {
            return (this->*fn)(args[0].AsString(), args[1].AsString());
        });
    };
    two("GetCliente", &RdmServCliente::GetCliente);
    two("GetServico", &RdmServCliente::GetServico);
    two("GetServClie", &RdmServCliente::GetServClie);
    two("DelTodos", &RdmServCliente::DelTodos);
    // A packet joining a batch writes on the batch's connection: the session's
    // own transaction must not take the write lock while it waits.
    AddMethod(
        "ApCoServClie", [this](std::vector<Variant>& args) { return ApCoServClie(args[0]); }, !group_);
}

void RdmServCliente::Register(ModuleRegistry& registry)
{
    auto group = std::make_shared<GroupCommit>();
    registry.Register(kServerName, [group](Database* db, const Caller& caller) {
        return std::make_unique<RdmServCliente>(db, caller, group);
    });
}

void RdmServCliente::Authorize(const std::string& method, const std::string& branch, unsigned entry, const Key* write)
{
    if (caller_.MayTouch(branch)) {
        return;
    }
    if (write) {
        RecordDenial(method, *write);
    }
    const std::string where = entry ? " (entry " + std::to_string(entry) + " of the change packet)" : "";
    throw ERemoteRefusal(method + ": the operator " + caller_.operatorName + " may not read or change the branch " +
                             Cp1252::FromUtf8(branch) + where + "; nothing was done",
                         entry, "srv.filial_proibida", {method, caller_.operatorName, Cp1252::FromUtf8(branch)});
}

std::vector<SqlValue> RdmServCliente::AuditValues(const std::string& method, const Key& key, const char* action,
                                                  long long rows) const
{
    return {AuditTime(), caller_.Who(),       caller_.peer,        method, key.branch, key.client,
            key.service, std::string(action), std::to_string(rows)};
}

void RdmServCliente::Audit(const std::string& method, const Key& key, const char* action, long long rows)
{
    Db().ExecuteLater("INSERT INTO AUDITORIA (DTAUDITORIA, NMOPERADOR, NMENDERECO, NMMETODO, CDFILIAL, CDCLIENTE, "
                      "CDSERVFILI, DSACAO, NRLINHAS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                      AuditValues(method, key, action, rows));
}

void RdmServCliente::RecordDenial(const std::string& method, const Key& key)
{
    // Nothing of the call was written yet; the refusal rolls its transaction
    // back, so the denial is stored in a transaction of its own. Failing to
    // store it does not turn the refusal into anything else.
    try {
        Db().Rollback();
        Db().Begin(true);
        Audit(method, key, "denied", 0);
        Db().Commit();
    } catch (const std::exception& e) {
        Db().Rollback();
        spdlog::error("{}: the denial of {} could not be recorded: {}", caller_.peer, method, e.what());
    }
}

Variant RdmServCliente::GetCliente(const std::string& branch, const std::string& number)
{
    const std::string m = "GetCliente";
    CheckSize(m, "NRINSJURCLIE", number, SizeOf("NRINSJURCLIE"));
    const std::string wanted = Digits(number);
    const bool everyClient = Blank(number);
    const ContractDataSet& d = Clients();
    static const std::string sql =
        "SELECT " + Columns(d, [](const std::string&) { return ""; }) + " FROM CLIENTE WHERE CDFILIAL = ?";
    auto rows = Db().Query(sql, {ToDb(m, "CDFILIAL", branch)});
    DataPacket p;
    p.fields = d.PacketFields();
    p.rows.reserve(rows.size());
    const auto numberAt = static_cast<size_t>(d.FieldIndex("NRINSJURCLIE"));
    for (auto& r : rows) {
        // Digits are the same bytes in UTF-8, so clients are chosen before
        // their texts are converted: a client that cannot be shown fails
        // only the calls that would show it.
        if (!everyClient && (wanted.empty() || Digits(r[numberAt].value_or("")) != wanted)) {
            continue;
        }
        AddRow(p, m, std::move(r), d, "client", 0);
    }
    const auto name = static_cast<size_t>(d.FieldIndex("NMRAZSOCCLIE"));
    const auto code = static_cast<size_t>(d.FieldIndex("CDCLIENTE"));
    std::stable_sort(p.rows.begin(), p.rows.end(), [name, code](const PacketRow& a, const PacketRow& b) {
        auto ka = std::make_tuple(NameKey(a.values[name].value_or("")), a.values[name].value_or(""),
                                  a.values[code].value_or(""));
        auto kb = std::make_tuple(NameKey(b.values[name].value_or("")), b.values[name].value_or(""),
                                  b.values[code].value_or(""));
        return ka < kb;
    });
    return Variant(std::move(p));
}

void RdmServCliente::CheckAccess(const ContractMethod& method, const std::string& branch, const std::string* client)
{
    const std::string& m = method.name;
    CheckSize(m, "CDFILIAL", branch, SizeOf("CDFILIAL"));
    CheckKey(m, "CDFILIAL", branch);
    if (!client) {
        Authorize(m, ToDb(m, "CDFILIAL", branch));
        return;
    }
    CheckSize(m, "CDCLIENTE", *client, SizeOf("CDCLIENTE"));
    CheckKey(m, "CDCLIENTE", *client);
    const Key key{ToDb(m, "CDFILIAL", branch), ToDb(m, "CDCLIENTE", *client), ""};
    Authorize(m, key.branch, 0, method.writes ? &key : nullptr);
}

Variant RdmServCliente::GetServico(const std::string& branch, const std::string& client)
{
    const std::string m = "GetServico";
    const ContractDataSet& d = Services();
    static const std::string sql = "SELECT " + Columns(d, [](const std::string&) { return "s."; }) +
                                   " FROM SERVFILI s WHERE s.CDFILIAL = ? "
                                   "AND NOT EXISTS (SELECT 1 FROM SERVCLIE c WHERE c.CDFILIAL = s.CDFILIAL "
                                   "AND c.CDSERVFILI = s.CDSERVFILI AND c.CDCLIENTE = ?)";
    auto rows = Db().Query(sql, {ToDb(m, "CDFILIAL", branch), ToDb(m, "CDCLIENTE", client)});
    DataPacket p;
    p.fields = d.PacketFields();
    p.rows.reserve(rows.size());
    const auto code = static_cast<size_t>(d.FieldIndex("CDSERVFILI"));
    for (auto& r : rows) {
        AddRow(p, m, std::move(r), d, "service", code);
    }
    SortByColumn(p, d, "CDSERVFILI");
    return Variant(std::move(p));
}

Variant RdmServCliente::GetServClie(const std::string& branch, const std::string& client)
{
    const std::string m = "GetServClie";
    const ContractDataSet& d = Assigned();
    // Every field is SERVCLIE's but the service's name.
    static const std::string sql =
        "SELECT " + Columns(d, [](const std::string& name) { return name == "NMSERVICO" ? "s." : "c."; }) +
        " FROM SERVCLIE c JOIN SERVFILI s ON s.CDFILIAL = c.CDFILIAL AND s.CDSERVFILI = c.CDSERVFILI "
        "WHERE c.CDFILIAL = ? AND c.CDCLIENTE = ?";
    auto rows = Db().Query(sql, {ToDb(m, "CDFILIAL", branch), ToDb(m, "CDCLIENTE", client)});
    DataPacket p;
    p.fields = d.PacketFields();
    p.rows.reserve(rows.size());
    const auto code = static_cast<size_t>(d.FieldIndex("CDSERVFILI"));
    for (auto& r : rows) {
        AddRow(p, m, std::move(r), d, "service", code);
    }
    SortByColumn(p, d, "CDSERVFILI");
    return Variant(std::move(p));
}

Variant RdmServCliente::DelTodos(const std::string& branch, const std::string& client)
{
    const std::string m = "DelTodos";
    const Key key{ToDb(m, "CDFILIAL", branch), ToDb(m, "CDCLIENTE", client), ""};
    long long removed =
        Db().Execute("DELETE FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ?", {key.branch, key.client});
    // A client without services lost nothing: nothing is recorded.
    if (removed > 0) {
        Audit(m, key, "all deleted", removed);
    }
    return Variant(static_cast<std::int64_t>(removed));
}

Variant RdmServCliente::ApCoServClie(const Variant& packet)
{
    const std::string m = "ApCoServClie";
    if (packet.IsNull()) {
        return Variant(0);
    }
    if (packet.GetKind() != Variant::Kind::Packet) {
        throw ERemoteRefusal(
            m + ": a change packet or Null was expected, not a " +
                (packet.GetKind() == Variant::Kind::String ? std::string("text") : std::string("value")) +
                "; nothing was stored",
            0, "srv.pacote_invalido", {m});
    }
    const std::vector<Change> changes = DecodeChanges(*packet.AsPacket());
    if (group_ && !changes.empty()) {
        group_->Apply(Db(), [this, &changes](Database& db, bool guarded) {
            batch_ = &db;
            try {
                if (guarded || !HoldInOneTrip(changes)) {
                    ApplyChecked(changes);
                }
            } catch (...) {
                batch_ = nullptr;
                throw;
            }
            batch_ = nullptr;
        });
    } else if (!ApplyInOneTrip(changes)) {
        ApplyChecked(changes);
    }
    return Variant(static_cast<std::int64_t>(changes.size()));
}

std::vector<RdmServCliente::Change> RdmServCliente::DecodeChanges(const DataPacket& p)
{
    const std::string m = "ApCoServClie";
    const int fb = p.FieldIndex("CDFILIAL");
    const int fc = p.FieldIndex("CDCLIENTE");
    const int fs = p.FieldIndex("CDSERVFILI");
    if (fb < 0 || fc < 0 || fs < 0) {
        throw ERemoteRefusal(m + ": the change packet lacks one of the fields CDFILIAL, CDCLIENTE, CDSERVFILI; "
                                 "nothing was stored",
                             0, "srv.pacote_invalido", {m});
    }
    static const int branchSize = SizeOf("CDFILIAL");
    static const int clientSize = SizeOf("CDCLIENTE");
    static const int serviceSize = SizeOf("CDSERVFILI");
    auto keyOf = [&](const std::vector<FieldValue>& values, unsigned entry) {
        return Key{KeyText(m, values[static_cast<size_t>(fb)], "CDFILIAL", branchSize, entry),
                   KeyText(m, values[static_cast<size_t>(fc)], "CDCLIENTE", clientSize, entry),
                   KeyText(m, values[static_cast<size_t>(fs)], "CDSERVFILI", serviceSize, entry)};
    };
    std::vector<Change> changes;
    for (size_t i = 0; i < p.rows.size(); ++i) {
        const PacketRow& row = p.rows[i];
        if (row.status == TUpdateStatus::usUnmodified) {
            continue;
        }
        const auto entry = static_cast<unsigned>(i + 1);
        Change c{row.status, keyOf(row.values, entry), {}, entry};
        if (row.status == TUpdateStatus::usModified) {
            c.original = keyOf(row.original, entry);
        }
        Authorize(m, c.key.branch, c.entry, &c.key);
        if (row.status == TUpdateStatus::usModified) {
            Authorize(m, c.original.branch, c.entry, &c.original);
        }
        changes.push_back(std::move(c));
    }
    return changes;
}

bool RdmServCliente::ApplyInOneTrip(const std::vector<Change>& changes)
{
    if (!HoldInOneTrip(changes)) {
        return false;
    }
    try {
        Db().Commit();
        return true;
    } catch (const EDatabaseCheck&) {
        // A client or service is missing: everything is undone, and the
        // checked way finds the entry to name in the refusal.
        Db().Rollback();
        Db().Begin(true);
        return false;
    }
}

bool RdmServCliente::HoldInOneTrip(const std::vector<Change>& changes)
{
    const bool edits = std::any_of(changes.begin(), changes.end(),
                                   [](const Change& c) { return c.status == TUpdateStatus::usModified; });
    const std::string& insertAudited = Db().Dialect(SqlOperation::InsertAssignmentAudited);
    const std::string& deleteAudited = Db().Dialect(SqlOperation::DeleteAssignmentAudited);
    if (insertAudited.empty() || deleteAudited.empty() || edits || changes.empty()) {
        return false;
    }
    const std::string method = "ApCoServClie";
    for (const auto& c : changes) {
        const Key& k = c.key;
        std::vector<SqlValue> values = {k.branch, k.client, k.service};
        auto audit = AuditValues(method, k, c.status == TUpdateStatus::usInserted ? "inserted" : "deleted", 1);
        values.insert(values.end(), audit.begin(), audit.end());
        if (c.status == TUpdateStatus::usInserted) {
            Db().ExecuteLater(insertAudited, values);
        } else {
            values.insert(values.end(), {k.branch, k.client, k.branch, k.service});
            Db().ExecuteLater(deleteAudited, values);
        }
    }
    return true;
}

void RdmServCliente::ApplyChecked(const std::vector<Change>& changes)
{
    const std::string m = "ApCoServClie";
    // The changes go first; the call runs in one transaction, so a refusal
    // below undoes them all. An insert stores a row only when its client and
    // service exist, and a row that was inserted or deleted proves that both
    // exist, so only the changes that touched nothing (and the rare edits)
    // need the existence check.
    const std::string& insert = Db().Dialect(SqlOperation::InsertAssignment);
    static const std::string remove = "DELETE FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ? AND CDSERVFILI = ?";
    auto insertRow = [&](const Key& k) {
        return Db().Execute(insert, {k.branch, k.client, k.service, k.branch, k.client, k.branch, k.service});
    };
    auto removeRow = [&](const Key& k) { return Db().Execute(remove, {k.branch, k.client, k.service}); };
    // Only a change that changed a row is recorded: an insert or deletion
    // sent again, or repeated within the packet, records nothing more, and
    // an edit is the deletion of its old row and the insertion of its new
    // one, each recorded when it happened.
    auto inserted = [&](const Key& k) {
        if (insertRow(k) == 0) {
            return false;
        }
        Audit(m, k, "inserted", 1);
        return true;
    };
    auto removed = [&](const Key& k) {
        if (removeRow(k) == 0) {
            return false;
        }
        Audit(m, k, "deleted", 1);
        return true;
    };
    ExistenceChecks checks;
    for (const auto& c : changes) {
        const Key& k = c.key;
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
    checks.RefuseMissing(Db(), m);
}

std::string RdmServCliente::AuditTime()
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
