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

    std::string utf8;
    try {
        utf8 = Cp1252::ToUtf8(SQLText());
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

    // Bind every parameter the statement names.
    const int paramCount = sqlite3_bind_parameter_count(stmt.get());
    for (int i = 1; i <= paramCount; ++i) {
        const char* rawName = sqlite3_bind_parameter_name(stmt.get(), i);
        if (rawName == nullptr || rawName[0] == '\0' || rawName[1] == '\0') {
            throw EDatabaseError(prefix + "The SQL text has a parameter without a name");
        }
        const std::string name = rawName + 1; // drop the ':'
        TParam* param = params_.FindParam(name);
        if (param == nullptr) {
            throw EDatabaseError(prefix + "Parameter '" + name + "' not found");
        }
        const Variant& v = param->Value();
        int rc = SQLITE_OK;
        switch (v.GetKind()) {
        case Variant::Kind::Null:
            rc = sqlite3_bind_null(stmt.get(), i);
            break;
        case Variant::Kind::Bool:
            rc = sqlite3_bind_int(stmt.get(), i, v.AsBool() ? 1 : 0);
            break;
        case Variant::Kind::Int:
            rc = sqlite3_bind_int64(stmt.get(), i, v.AsInt());
            break;
        case Variant::Kind::String: {
            const std::string text = v.AsString();
            if (text.empty()) {
                rc = sqlite3_bind_null(stmt.get(), i);
                break;
            }
            std::string value;
            try {
                value = Cp1252::ToUtf8(text);
            } catch (const EConvertError& e) {
                throw EDatabaseError(prefix + "Parameter '" + name + "': " + e.Message());
            }
            rc = sqlite3_bind_text(stmt.get(), i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
            break;
        }
        case Variant::Kind::Packet:
            throw EDatabaseError(prefix + "Parameter '" + name + "' cannot hold a data packet");
        }
        if (rc != SQLITE_OK) {
            throw EDatabaseError(prefix + "Parameter '" + name + "': " + DatabaseMessage(db));
        }
    }

    // Fields: the persistent ones by name, or one per column.
    const int columnCount = sqlite3_column_count(stmt.get());
    bool persistent = false;
    for (TField* field : Fields()) {
        persistent = persistent || !field->IsDefaultField();
    }
    if (!persistent) {
        DestroyDefaultFields();
        for (int c = 0; c < columnCount; ++c) {
            auto* field = new TADOIBStringField(this);
            field->SetFieldName(ColumnName(stmt.get(), c));
            field->SetSize(0);
            AddDefaultField(field);
        }
    }
    std::vector<int> columns;
    for (TField* field : Fields()) {
        int found = -1;
        for (int c = 0; c < columnCount && found < 0; ++c) {
            const std::string n = ColumnName(stmt.get(), c);
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

    std::vector<std::vector<FieldValue>> rows;
    for (;;) {
        const int rc = sqlite3_step(stmt.get());
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
            const int c = columns[i];
            if (sqlite3_column_type(stmt.get(), c) == SQLITE_NULL) {
                values.emplace_back(std::nullopt);
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), c));
            const int bytes = sqlite3_column_bytes(stmt.get(), c);
            FieldValue value;
            try {
                value = Cp1252::FromUtf8(std::string_view(text != nullptr ? text : "", static_cast<size_t>(bytes)));
                field->Validate(value);
            } catch (const Exception& e) {
                throw EDatabaseError(prefix + "Row " + std::to_string(rows.size() + 1) + ", field '" +
                                     field->FieldName() + "': " + e.Message());
            }
            values.push_back(std::move(value));
        }
        rows.push_back(std::move(values));
    }
    SetRecords(MakeRecords(std::move(rows)));
}
