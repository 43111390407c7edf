#include "server/RdmServCliente.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/ServClienteContract.h"
#include "server/DataSetReader.h"
#include "server/LiveUpdates.h"
#include "server/ServerText.h"

#include <spdlog/spdlog.h>

#include <algorithm>
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

} // namespace

RdmServCliente::RdmServCliente(Database* db, Caller caller, std::shared_ptr<GroupCommit> group)
    : RemoteModule(ServClienteContract::Get(), db),
      caller_(std::move(caller)),
      group_(std::move(group)),
      writer_(caller_)
{
    auto two = [this](const char* name, Variant (RdmServCliente::*fn)(const std::string&, const std::string&)) {
        AddMethod(name, [this, fn](std::vector<Variant>& args) {
            return (this->*fn)(args[0].AsString(), args[1].AsString());
        });
    };
    two(ServClienteContract::kClients, &RdmServCliente::GetCliente);
    two(ServClienteContract::kServices, &RdmServCliente::GetServico);
    two(ServClienteContract::kAssigned, &RdmServCliente::GetServClie);
    two(ServClienteContract::kDeleteAll, &RdmServCliente::DelTodos);
    // A packet joining a batch writes on the batch's connection: the session's
    // own transaction must not take the write lock while it waits.
    AddMethod(
        ServClienteContract::kApplyChanges, [this](std::vector<Variant>& args) { return ApCoServClie(args[0]); },
        !group_);
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

void RdmServCliente::RecordDenial(const std::string& method, const Key& key)
{
    // Nothing of the call was written yet; the refusal rolls its transaction
    // back, so the denial is stored in a transaction of its own. Failing to
    // store it does not turn the refusal into anything else.
    try {
        Db().Rollback();
        Db().Begin(true);
        writer_.Audit(Db(), method, key, "denied", 0);
        Db().Commit();
    } catch (const std::exception& e) {
        Db().Rollback();
        spdlog::error("{}: the denial of {} could not be recorded: {}", caller_.peer, method, e.what());
    }
}

Variant RdmServCliente::GetCliente(const std::string& branch, const std::string& number)
{
    const std::string m = ServClienteContract::kClients;
    ServerText::CheckSize(m, "NRINSJURCLIE", number, SizeOf("NRINSJURCLIE"));
    const std::string wanted = Digits(number);
    const bool everyClient = Blank(number);
    const ContractDataSet& d = Clients();
    static const std::string sql = "SELECT " +
                                   DataSetReader::Columns(d, [](const std::string&) { return std::string(); }) +
                                   " FROM CLIENTE WHERE CDFILIAL = ?";
    auto rows = Db().Query(sql, {ServerText::ToDb(m, "CDFILIAL", branch)});
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
        DataSetReader::AddRow(p, m, std::move(r), d, "client", 0);
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
    ServerText::CheckSize(m, "CDFILIAL", branch, SizeOf("CDFILIAL"));
    ServerText::CheckKey(m, "CDFILIAL", branch);
    // No branch is no branch's rows: any operator may read it, which is
    // what the health check does with the operator it is given.
    if (branch.empty() && !method.writes) {
        return;
    }
    if (!client) {
        Authorize(m, ServerText::ToDb(m, "CDFILIAL", branch));
        return;
    }
    ServerText::CheckSize(m, "CDCLIENTE", *client, SizeOf("CDCLIENTE"));
    ServerText::CheckKey(m, "CDCLIENTE", *client);
    const Key key{ServerText::ToDb(m, "CDFILIAL", branch), ServerText::ToDb(m, "CDCLIENTE", *client), ""};
    Authorize(m, key.branch, 0, method.writes ? &key : nullptr);
}

Variant RdmServCliente::GetServico(const std::string& branch, const std::string& client)
{
    const std::string m = ServClienteContract::kServices;
    static const std::string sql =
        "SELECT " + DataSetReader::Columns(Services(), [](const std::string&) { return std::string("s."); }) +
        " FROM SERVFILI s WHERE s.CDFILIAL = ? AND NOT EXISTS (SELECT 1 FROM SERVCLIE c WHERE c.CDFILIAL = s.CDFILIAL "
        "AND c.CDSERVFILI = s.CDSERVFILI AND c.CDCLIENTE = ?)";
    return Variant(DataSetReader::Read(
        Db(), m, Services(), sql, {ServerText::ToDb(m, "CDFILIAL", branch), ServerText::ToDb(m, "CDCLIENTE", client)},
        "service", "CDSERVFILI"));
}

Variant RdmServCliente::GetServClie(const std::string& branch, const std::string& client)
{
    const std::string m = ServClienteContract::kAssigned;
    static const std::string sql =
        "SELECT " +
        DataSetReader::Columns(Assigned(),
                               [](const std::string& name) {
                                   const auto& own = AssignmentWriter::Columns();
                                   return std::string(std::find(own.begin(), own.end(), name) != own.end() ? "c."
                                                                                                           : "s.");
                               }) +
        " FROM SERVCLIE c JOIN SERVFILI s ON s.CDFILIAL = c.CDFILIAL AND s.CDSERVFILI = c.CDSERVFILI "
        "WHERE c.CDFILIAL = ? AND c.CDCLIENTE = ?";
    return Variant(DataSetReader::Read(
        Db(), m, Assigned(), sql, {ServerText::ToDb(m, "CDFILIAL", branch), ServerText::ToDb(m, "CDCLIENTE", client)},
        "service", "CDSERVFILI"));
}

Variant RdmServCliente::DelTodos(const std::string& branch, const std::string& client)
{
    const std::string m = ServClienteContract::kDeleteAll;
    const Key key{ServerText::ToDb(m, "CDFILIAL", branch), ServerText::ToDb(m, "CDCLIENTE", client), ""};
    const long long removed = writer_.DeleteAll(Db(), m, key);
    if (removed > 0) {
        stored_.push_back(Stored{{key.branch, key.client}, {}, true});
        Announce(Db());
    }
    return Variant(static_cast<std::int64_t>(removed));
}

void RdmServCliente::NoteStored(const std::vector<AssignmentChange>& changes)
{
    stored_.clear();
    // The changes by branch and client, an edit as the deletion of its old
    // row and the insertion of its new one.
    auto note = [this](const Key& key, TUpdateStatus status) {
        auto same = std::find_if(stored_.begin(), stored_.end(), [&key](const Stored& s) {
            return s.key == ViewKey{key.branch, key.client};
        });
        if (same == stored_.end()) {
            same = stored_.insert(stored_.end(), Stored{{key.branch, key.client}, {}, false});
        }
        same->changes.emplace_back(status, Cp1252::FromUtf8(key.service));
    };
    for (const AssignmentChange& c : changes) {
        if (c.status == TUpdateStatus::usModified) {
            note(c.original, TUpdateStatus::usDeleted);
            note(c.key, TUpdateStatus::usInserted);
        } else {
            note(c.key, c.status);
        }
    }
}

void RdmServCliente::Announce(Database& db)
{
    for (const Stored& s : stored_) {
        db.Announce(LiveUpdates::Announcement(caller_.origin, s.key, caller_.Who(), s.changes, s.reread));
    }
}

std::vector<RemoteModule::Stored> RdmServCliente::TakeStored()
{
    return std::exchange(stored_, {});
}

Variant RdmServCliente::ApCoServClie(const Variant& packet)
{
    const std::string m = ServClienteContract::kApplyChanges;
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
    const std::vector<AssignmentChange> changes =
        ChangePacket::Decode(m, *packet.AsPacket(), [this, &m](const AssignmentChange& c) {
            Authorize(m, c.key.branch, c.entry, &c.key);
            if (c.status == TUpdateStatus::usModified) {
                Authorize(m, c.original.branch, c.entry, &c.original);
            }
        });
    NoteStored(changes);
    if (group_ && !changes.empty()) {
        group_->Apply(Db(), [this, &changes, &m](Database& db, bool guarded) {
            batch_ = &db;
            try {
                if (guarded || !writer_.Hold(db, m, changes)) {
                    writer_.ApplyChecked(db, m, changes);
                }
                Announce(db);
            } catch (...) {
                batch_ = nullptr;
                throw;
            }
            batch_ = nullptr;
        });
    } else if (!ApplyInOneTrip(changes)) {
        writer_.ApplyChecked(Db(), m, changes);
        Announce(Db());
    }
    return Variant(static_cast<std::int64_t>(changes.size()));
}

bool RdmServCliente::ApplyInOneTrip(const std::vector<AssignmentChange>& changes)
{
    if (!writer_.Hold(Db(), ServClienteContract::kApplyChanges, changes)) {
        return false;
    }
    Announce(Db());
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
