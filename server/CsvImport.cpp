#include "server/CsvImport.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/ServClienteContract.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>

namespace {

struct Column {
    const char* name;
    bool key;
    int size = 0;
};

// A column's size as the contract declares it for the screens; NMFILIAL, the
// one no screen's data set carries, as the schema does.
int SizeOf(const std::string& name)
{
    const RemoteContract& contract = ServClienteContract::Get();
    for (const char* dataSet : {ServClienteContract::kClients, ServClienteContract::kServices}) {
        if (contract.DataSet(dataSet).FieldIndex(name) >= 0) {
            return contract.DataSet(dataSet).Field(name).size;
        }
    }
    return name == "NMFILIAL" ? 30 : 0;
}

// The columns a file may give.
const std::map<std::string, std::vector<Column>>& Tables()
{
    static const std::map<std::string, std::vector<Column>> tables = [] {
        std::map<std::string, std::vector<Column>> t = {
            {"FILIAL", {{"CDFILIAL", true}, {"NMFILIAL", false}}},
            {"CLIENTE",
             {{"CDFILIAL", true},
              {"CDCLIENTE", true},
              {"IDTPIJURCLIE", false},
              {"NRINSJURCLIE", false},
              {"NMRAZSOCCLIE", false}}},
            {"SERVFILI", {{"CDFILIAL", true}, {"CDSERVFILI", true}, {"NMSERVICO", false}}},
        };
        for (auto& [table, columns] : t) {
            for (Column& c : columns) {
                c.size = SizeOf(c.name);
            }
        }
        return t;
    }();
    return tables;
}

// The records of a CSV text, each with the line it starts on.
struct Record {
    int line = 0;
    std::vector<std::string> fields;
};

std::vector<Record> Parse(const std::string& text, const std::string& file)
{
    std::vector<Record> records;
    Record current{1, {}};
    std::string field;
    bool quoted = false;
    bool any = false;
    int line = 1;
    auto endField = [&] {
        current.fields.push_back(std::move(field));
        field.clear();
        any = false;
    };
    auto endRecord = [&] {
        if (any || !current.fields.empty()) {
            endField();
            records.push_back(std::move(current));
        }
        current = Record{line + 1, {}};
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                line += c == '\n' ? 1 : 0;
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty()) {
            quoted = true;
            any = true;
        } else if (c == ',') {
            endField();
            any = true;
        } else if (c == '\n') {
            if (!field.empty() && field.back() == '\r') {
                field.pop_back();
            }
            endRecord();
            ++line;
        } else {
            field += c;
            any = true;
        }
    }
    if (quoted) {
        throw EInvalidOperation(file + ":" + std::to_string(current.line) + ": a quote is left open");
    }
    endRecord();
    return records;
}

} // namespace

long CsvImport::Load(Database& db, const std::string& table, const std::string& path)
{
    const auto found = Tables().find(table);
    if (found == Tables().end()) {
        throw EInvalidOperation(path + ": no table " + table + " to load");
    }
    const std::vector<Column>& columns = found->second;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EInvalidOperation("Cannot read " + path);
    }
    const std::vector<Record> records =
        Parse(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), path);
    if (records.empty()) {
        throw EInvalidOperation(path + ":1: no header row naming the columns");
    }
    // The header: which column each field fills.
    std::vector<const Column*> filled;
    for (const std::string& name : records[0].fields) {
        auto column = std::find_if(columns.begin(), columns.end(), [&name](const Column& c) { return name == c.name; });
        if (column == columns.end()) {
            throw EInvalidOperation(path + ":1: '" + name + "' is no column of " + table);
        }
        filled.push_back(&*column);
    }
    for (const Column& c : columns) {
        if (c.key && std::find(filled.begin(), filled.end(), &c) == filled.end()) {
            throw EInvalidOperation(path + ":1: the key column " + std::string(c.name) + " is missing");
        }
    }
    std::vector<std::string> names;
    std::vector<std::string> keys;
    for (const Column* c : filled) {
        names.emplace_back(c->name);
        if (c->key) {
            keys.emplace_back(c->name);
        }
    }
    const std::string upsert = db.Upserting(table, names, keys);
    long rows = 0;
    std::set<std::string> branches;
    db.Begin(true);
    try {
        for (size_t r = 1; r < records.size(); ++r) {
            const Record& record = records[r];
            const std::string at = path + ":" + std::to_string(record.line) + ": ";
            if (record.fields.size() != filled.size()) {
                throw EInvalidOperation(at + std::to_string(record.fields.size()) + " fields where the header names " +
                                        std::to_string(filled.size()));
            }
            std::vector<SqlValue> values;
            for (size_t f = 0; f < filled.size(); ++f) {
                const std::string& text = record.fields[f];
                std::string shown;
                try {
                    shown = Cp1252::FromUtf8(text);
                } catch (const EConvertError&) {
                    throw EInvalidOperation(at + filled[f]->name + " holds a character the screens cannot show");
                }
                if (shown.size() > static_cast<size_t>(filled[f]->size)) {
                    throw EInvalidOperation(at + filled[f]->name + " has " + std::to_string(shown.size()) +
                                            " characters, more than " + std::to_string(filled[f]->size));
                }
                if (filled[f]->key && text.empty()) {
                    throw EInvalidOperation(at + "the key column " + filled[f]->name + " is empty");
                }
                values.push_back(text.empty() ? SqlValue() : SqlValue(text));
            }
            // A client or a service belongs to a branch that is there.
            if (table != "FILIAL") {
                const auto branch = std::find(names.begin(), names.end(), "CDFILIAL") - names.begin();
                const std::string& code = *values[static_cast<size_t>(branch)];
                if (branches.count(code) == 0) {
                    if (db.Query("SELECT 1 FROM FILIAL WHERE CDFILIAL = ?", {code}).empty()) {
                        throw EInvalidOperation(at + "the branch " + code + " is not there");
                    }
                    branches.insert(code);
                }
            }
            try {
                db.Execute(upsert, values);
            } catch (const EDatabaseError& e) {
                throw EInvalidOperation(at + e.what());
            }
            ++rows;
        }
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
    return rows;
}
