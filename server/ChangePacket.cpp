#include "server/ChangePacket.h"

#include "platform/core/Exception.h"
#include "platform/net/ServClienteContract.h"
#include "server/ServerText.h"

namespace {
int SizeOf(const char* field)
{
    return ServClienteContract::Get().DataSet(ServClienteContract::kAssigned).Field(field).size;
}
} // namespace

std::vector<AssignmentChange> ChangePacket::Decode(const std::string& m, const DataPacket& p,
                                                   const std::function<void(const AssignmentChange&)>& admit)
{
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
        return AssignmentKey{KeyText(m, values[static_cast<size_t>(fb)], "CDFILIAL", branchSize, entry),
                             KeyText(m, values[static_cast<size_t>(fc)], "CDCLIENTE", clientSize, entry),
                             KeyText(m, values[static_cast<size_t>(fs)], "CDSERVFILI", serviceSize, entry)};
    };
    std::vector<AssignmentChange> changes;
    for (size_t i = 0; i < p.rows.size(); ++i) {
        const PacketRow& row = p.rows[i];
        if (row.status == TUpdateStatus::usUnmodified) {
            continue;
        }
        const auto entry = static_cast<unsigned>(i + 1);
        AssignmentChange c{row.status, keyOf(row.values, entry), {}, entry};
        if (row.status == TUpdateStatus::usModified) {
            c.original = keyOf(row.original, entry);
        }
        admit(c);
        changes.push_back(std::move(c));
    }
    return changes;
}

std::string ChangePacket::KeyText(const std::string& method, const FieldValue& value, const char* name, int size,
                                  unsigned entry)
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
    ServerText::CheckKey(method, name, *value, entry);
    try {
        return ServerText::ToDb(method, name, *value);
    } catch (const ERemoteRefusal& e) {
        throw ERemoteRefusal(e.what(), entry, e.Code(), e.Args());
    }
}
