#include "CommandTrace.h"

#include <algorithm>

namespace trace {

std::vector<json> Segment(const ShellOutput& out, int n)
{
    std::vector<json> lines;
    int dumps = -1;
    for (const auto& l : out.lines) {
        bool isDump = l.is_object() && l.contains("dump");
        if (isDump) {
            ++dumps;
            if (dumps > n) {
                break;
            }
            continue;
        }
        if (dumps == n) {
            lines.push_back(l);
        }
    }
    return lines;
}

std::vector<std::string> Calls(const std::vector<json>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("call")) {
            out.push_back(l["call"].get<std::string>());
        }
    }
    return out;
}

std::vector<json> ChangePackets(const std::vector<json>& lines)
{
    std::vector<json> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.value("call", "") == "ApCoServClie") {
            out.push_back(l["args"].at(0));
        }
    }
    return out;
}

std::vector<std::string> Errors(const std::vector<json>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("error")) {
            out.push_back(l["error"].get<std::string>());
        }
    }
    return out;
}

std::vector<std::string> Progress(const std::vector<json>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("progress")) {
            out.push_back(l["progress"].get<std::string>());
        }
    }
    return out;
}

std::vector<PacketRow> Rows(const json& packet)
{
    std::vector<PacketRow> rows;
    if (!packet.is_object()) {
        return rows;
    }
    const json& fields = packet["fields"];
    for (const auto& r : packet["rows"]) {
        PacketRow row;
        row.status = r["status"].get<std::string>();
        for (size_t i = 0; i < fields.size() && i < r["values"].size(); ++i) {
            const json& v = r["values"][i];
            row.values[fields[i].get<std::string>()] = v.is_string() ? v.get<std::string>() : std::string();
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> MoveSelectedCalls(int k)
{
    std::vector<std::string> calls;
    for (int i = 0; i < k; ++i) {
        calls.insert(calls.end(), {"ApCoServClie", "GetServico"});
    }
    calls.insert(calls.end(), {"GetServClie", "GetServico", "GetServClie"});
    return calls;
}

std::vector<std::string> MoveAllCalls(int k)
{
    std::vector<std::string> calls(static_cast<size_t>(k), "ApCoServClie");
    calls.insert(calls.end(), {"GetServico", "GetServClie"});
    return calls;
}

std::vector<std::string> MoveBackCalls(bool deleted)
{
    std::vector<std::string> calls;
    if (deleted) {
        calls.push_back("ApCoServClie");
    }
    calls.insert(calls.end(), {"GetServico", "GetServClie", "GetServico", "GetServClie"});
    return calls;
}

std::vector<std::string> MoveAllBackCalls()
{
    return {"DelTodos", "GetServico", "GetServClie", "GetServico", "GetServClie"};
}

std::vector<std::string> GridCodes(const ShellOutput& out, int dump)
{
    std::vector<std::string> codes;
    json cds = out.Component("cdsServClie", dump);
    if (!cds.is_object()) {
        return codes;
    }
    const json& fields = cds["fields"];
    size_t at = 0;
    while (at < fields.size() && fields[at] != "CDSERVFILI") {
        ++at;
    }
    for (const auto& row : cds["rows"]) {
        codes.push_back(at < row.size() ? row[at].get<std::string>() : std::string());
    }
    return codes;
}

std::vector<std::string> ListItems(const ShellOutput& out, int dump)
{
    std::vector<std::string> items;
    json list = out.Component("lsbPossiveis", dump);
    if (list.is_object()) {
        for (const auto& item : list["items"]) {
            items.push_back(item.get<std::string>());
        }
    }
    return items;
}

const std::vector<std::string>& BranchServices()
{
    static const std::vector<std::string> codes = {"00001", "00002", "00003", "00004", "00005"};
    return codes;
}

std::vector<std::string> ListOfServicesNotIn(const std::vector<std::string>& assigned)
{
    static const std::map<std::string, std::string> names = {
        {"00001", "Consultoria"}, {"00002", "Manutenção"},      {"00003", "Instalação"},
        {"00004", "Treinamento"}, {"00005", "Suporte técnico"},
    };
    std::vector<std::string> lines;
    for (const auto& code : BranchServices()) {
        if (std::find(assigned.begin(), assigned.end(), code) == assigned.end()) {
            lines.push_back(code + " - " + names.at(code));
        }
    }
    return lines;
}

std::string Header(int clientRow)
{
    return "open\nclick btnCliente\npick " + std::to_string(clientRow) + "\nfocus lsbPossiveis\n";
}

std::vector<std::string> PacketEntries(const std::vector<json>& lines)
{
    std::vector<std::string> entries;
    for (const auto& packet : ChangePackets(lines)) {
        for (const auto& row : Rows(packet)) {
            entries.push_back(row.status + ":" + row.values.at("CDSERVFILI"));
        }
    }
    return entries;
}

} // namespace trace
