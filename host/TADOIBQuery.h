#pragma once
// A read-only query on the local database, run over the shared connection of
// TdtmDBGeral. Open runs the SQL with its parameters bound by name (":NAME")
// and holds every row; the fields are the persistent ones, matched to the
// result's columns by name, or one text field per column without them.
//
// Parameters: an empty text or Null binds as NULL, so that a query can treat
// "no value" and "empty" alike; texts go to the database as UTF-8.
//
// Failure behaviour: Open raises EDatabaseError and the query stays closed for
// an SQL error, a statement that would write, a parameter the SQL names but
// the query lacks, a persistent field with no column of its name, a value
// longer than its field, or a text that has no Windows-1252 form.
#include "platform/data/TDataSet.h"
#include "platform/data/TParams.h"

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class TADOIBQuery : public TDataSet {
public:
    DECLARE_CLASS_NAME(TADOIBQuery)
    explicit TADOIBQuery(TComponent* AOwner);

    // The lines of the SQL text (the form's SQL.Strings). Setting them closes
    // the query and brings the parameter list in line with the text.
    const std::vector<std::string>& SQL() const { return sql_; }
    void SetSQL(std::vector<std::string> lines);
    std::string SQLText() const;

    TParams& Params() { return params_; }
    const TParams& Params() const { return params_; }
    TParam* ParamByName(std::string_view name) const { return params_.ParamByName(name); }

protected:
    void InternalOpen() override;
    bool CanModify() const override { return false; }

private:
    // The steps of Open: bind the parameters, make the fields (the persistent
    // ones or one a column), find each field's column, read the rows.
    void BindParams(sqlite3* db, sqlite3_stmt* stmt, const std::string& prefix) const;
    bool HasPersistentFields() const;
    void CreateColumnFields(sqlite3_stmt* stmt);
    std::vector<int> FieldColumns(sqlite3_stmt* stmt, const std::string& prefix) const;
    std::vector<std::vector<FieldValue>> ReadRows(sqlite3* db, sqlite3_stmt* stmt, const std::vector<int>& columns,
                                                  const std::string& prefix) const;

    std::vector<std::string> sql_;
    TParams params_;
};
