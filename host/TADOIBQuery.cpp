#include "host/TADOIBQuery.h"

#include "host/TADOIBStringField.h"
#include "host/TdtmDBGeral.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/data/TField.h"
#include "platform/model/ClassRegistration.h"

#include <sqlite3.h>

#include <memory>

namespace {

const ClassRegistration<TADOIBQuery> adoibQueryClass("TADOIBQuery", "TDataSet", [](ClassBuilder<TADOIBQuery>& c) {
    c.RegisterStringListProperty("SQL.Strings", &TADOIBQuery::SQL, &TADOIBQuery::SetSQL);
    c.RegisterCollectionProperty<TParam>(
        "Params", "TParam", [](TADOIBQuery& q) { q.Params().Clear(); },
        [](TADOIBQuery& q) { return q.Params().Add(); });
});

} // namespace

namespace {

struct StatementCloser {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

std::string DatabaseMessage(sqlite3* db)
{
    std::string text = sqlite3_errmsg(db);
    try {
        return Cp1252::FromUtf8(text);
    } catch (const EConvertError&) {
        return "(message not readable)";
    }
}

std::string ColumnName(sqlite3_stmt* stmt, int column)
{
    const char* name = sqlite3_column_name(stmt, column);
    try {
        return Cp1252::FromUtf8(name != nullptr ? name : "");
    } catch (const EConvertError&) {
        return std::string();
    }
}

// Prepares the one statement of an SQL text that only reads.
Statement PrepareReadOnly(sqlite3* db, const std::string& sql, const std::string& prefix)
{
    std::string utf8;
    try {
        utf8 = Cp1252::ToUtf8(sql);
    } catch (const EConvertError& e) {
        throw EDatabaseError(prefix + "The SQL text cannot be sent: " + e.Message());
    }
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.c_str(), static_cast<int>(utf8.size()), &raw, &tail) != SQLITE_OK) {
        throw EDatabaseError(prefix + "SQL error: " + DatabaseMessage(db));
    }
    Statement stmt(raw);
    if (!stmt) {
        throw EDatabaseError(prefix + "The SQL text holds no statement");
    }
    if (tail != nullptr && std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos) {
        throw EDatabaseError(prefix + "The SQL text holds more than one statement");
    }
    if (!sqlite3_stmt_readonly(stmt.get())) {
        throw EDatabaseError(prefix + "The local database is read-only: the query may only read");
    }
    return stmt;
}

// Binds one parameter's value; an empty text binds as NULL. Returns SQLite's
// answer; what cannot be bound at all raises EDatabaseError after `what`.
int BindValue(sqlite3_stmt* stmt, int index, const Variant& v, const std::string& what)
{
    switch (v.GetKind()) {
    case Variant::Kind::Null: return sqlite3_bind_null(stmt, index);
    case Variant::Kind::Bool: return sqlite3_bind_int(stmt, index, v.AsBool() ? 1 : 0);
    case Variant::Kind::Int: return sqlite3_bind_int64(stmt, index, v.AsInt());
    case Variant::Kind::String: {
        const std::string text = v.AsString();
        if (text.empty()) {
            return sqlite3_bind_null(stmt, index);
        }
        std::string value;
        try {
            value = Cp1252::ToUtf8(text);
        } catch (const EConvertError& e) {
            throw EDatabaseError(what + ": " + e.Message());
        }
        return sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    case Variant::Kind::Packet: throw EDatabaseError(what + " cannot hold a data packet");
    }
    return SQLITE_OK;
}

// A column of the current row: null, or its text in Windows-1252.
FieldValue ColumnValue(sqlite3_stmt* stmt, int column)
{
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    const int bytes = sqlite3_column_bytes(stmt, column);
    return Cp1252::FromUtf8(std::string_view(text != nullptr ? text : "", static_cast<size_t>(bytes)));
}

} // namespace

TADOIBQuery::TADOIBQuery(TComponent* AOwner) : TDataSet(AOwner) {}

void TADOIBQuery::SetSQL(std::vector<std::string> lines)
{
    Close();
    sql_ = std::move(lines);
    params_.ParseSQL(SQLText());
}

std::string TADOIBQuery::SQLText() const
{
    std::string text;
    for (size_t i = 0; i < sql_.size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += sql_[i];
    }
    return text;
}

void TADOIBQuery::InternalOpen()
{
    const std::string prefix = ErrorPrefix();
    sqlite3* db = TdtmDBGeral::Instance().Connection();
    Statement stmt = PrepareReadOnly(db, SQLText(), prefix);
    BindParams(db, stmt.get(), prefix);
    if (!HasPersistentFields()) {
        CreateColumnFields(stmt.get());
    }
    const std::vector<int> columns = FieldColumns(stmt.get(), prefix);
    SetRecords(MakeRecords(ReadRows(db, stmt.get(), columns, prefix)));
}

void TADOIBQuery::BindParams(sqlite3* db, sqlite3_stmt* stmt, const std::string& prefix) const
{
    const int paramCount = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= paramCount; ++i) {
        const char* rawName = sqlite3_bind_parameter_name(stmt, i);
        if (rawName == nullptr || rawName[0] == '\0' || rawName[1] == '\0') {
            throw EDatabaseError(prefix + "The SQL text has a parameter without a name");
        }
        const std::string name = rawName + 1; // drop the ':'
        TParam* param = params_.FindParam(name);
        if (param == nullptr) {
            throw EDatabaseError(prefix + "Parameter '" + name + "' not found");
        }
        if (BindValue(stmt, i, param->Value(), prefix + "Parameter '" + name + "'") != SQLITE_OK) {
            throw EDatabaseError(prefix + "Parameter '" + name + "': " + DatabaseMessage(db));
        }
    }
}

bool TADOIBQuery::HasPersistentFields() const
{
    for (TField* field : Fields()) {
        if (!field->IsDefaultField()) {
            return true;
        }
    }
    return false;
}

void TADOIBQuery::CreateColumnFields(sqlite3_stmt* stmt)
{
    DestroyDefaultFields();
    const int columnCount = sqlite3_column_count(stmt);
    for (int c = 0; c < columnCount; ++c) {
        auto* field = new TADOIBStringField(this);
        field->SetFieldName(ColumnName(stmt, c));
        field->SetSize(0);
        AddDefaultField(field);
    }
}

std::vector<int> TADOIBQuery::FieldColumns(sqlite3_stmt* stmt, const std::string& prefix) const
{
    const int columnCount = sqlite3_column_count(stmt);
    std::vector<int> columns;
    for (TField* field : Fields()) {
        int found = -1;
        for (int c = 0; c < columnCount && found < 0; ++c) {
            const std::string n = ColumnName(stmt, c);
            if (n.size() == field->FieldName().size() &&
                Cp1252::UpperCase(n) == Cp1252::UpperCase(field->FieldName())) {
                found = c;
            }
        }
        if (found < 0) {
            throw EDatabaseError(prefix + "Field '" + field->FieldName() + "' not found in the result of the query");
        }
        columns.push_back(found);
    }
    return columns;
}

std::vector<std::vector<FieldValue>>
TADOIBQuery::ReadRows(sqlite3* db, sqlite3_stmt* stmt, const std::vector<int>& columns, const std::string& prefix) const
{
    std::vector<std::vector<FieldValue>> rows;
    for (;;) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc != SQLITE_ROW) {
            throw EDatabaseError(prefix + "SQL error: " + DatabaseMessage(db));
        }
        std::vector<FieldValue> values;
        values.reserve(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            TField* field = Fields()[i];
            try {
                values.push_back(ColumnValue(stmt, columns[i]));
                if (values.back()) {
                    field->Validate(values.back());
                }
            } catch (const Exception& e) {
                throw EDatabaseError(prefix + "Row " + std::to_string(rows.size() + 1) + ", field '" +
                                     field->FieldName() + "': " + e.Message());
            }
        }
        rows.push_back(std::move(values));
    }
    return rows;
}
