#include "server/DataSetReader.h"

#include "server/ServerText.h"

#include <algorithm>

std::string DataSetReader::Columns(const ContractDataSet& dataSet,
                                   const std::function<std::string(const std::string&)>& tableOf)
{
    std::string list;
    for (const auto& f : dataSet.fields) {
        list += (list.empty() ? "" : ", ") + tableOf(f.name) + f.name;
    }
    return list;
}

DataPacket DataSetReader::Read(Database& db, const std::string& method, const ContractDataSet& dataSet,
                               const std::string& select, const std::vector<SqlValue>& params, const char* what,
                               const char* keyField)
{
    auto rows = db.Query(select, params);
    DataPacket p;
    p.fields = dataSet.PacketFields();
    p.rows.reserve(rows.size());
    const auto key = static_cast<size_t>(dataSet.FieldIndex(keyField));
    for (auto& r : rows) {
        AddRow(p, method, std::move(r), dataSet, what, key);
    }
    // A database that read the rows through the key's index hands them over
    // in that order already, and checking costs less than sorting.
    auto before = [key](const PacketRow& a, const PacketRow& b) { return a.values[key] < b.values[key]; };
    if (!std::is_sorted(p.rows.begin(), p.rows.end(), before)) {
        std::sort(p.rows.begin(), p.rows.end(), before);
    }
    return p;
}

void DataSetReader::AddRow(DataPacket& packet, const std::string& method, SqlRow&& row, const ContractDataSet& dataSet,
                           const char* what, size_t key)
{
    const std::string named = row[key].value_or("");
    // A query's row holds its values as a packet row does: converted where
    // they are.
    PacketRow out;
    out.values = std::move(row);
    for (size_t i = 0; i < out.values.size(); ++i) {
        out.values[i] = ServerText::FromDb(method, std::move(out.values[i]), dataSet.fields[i].fixedWidth, what, named);
        ServerText::CheckStored(method, packet.fields[i], out.values[i], what, named);
    }
    packet.rows.push_back(std::move(out));
}
