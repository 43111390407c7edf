#pragma once
// The shell's shared data module: one connection to the local database, used
// by every query of every screen. The shell names the database file from its
// session; the connection opens read-only on first use.
//
// The connection carries the two functions that the queries of the local
// database are written with:
// - NVLSTR(a, b): a, unless a is Null, else b;
// - PARAM(x): a one-row table whose column PARAM is x (Null without x), so
//   that "FROM T, PARAM (:P) C ... C.PARAM" turns a parameter into a column.
//
// Failure behaviour: a missing or unreadable file, or no file set, raises
// EDatabaseError naming the file when a query first needs the connection; the
// next use tries again.
#include "platform/model/TComponent.h"

#include <string>

struct sqlite3;

class TdtmDBGeral : public TComponent {
public:
    DECLARE_CLASS_NAME(TdtmDBGeral)
    static TdtmDBGeral& Instance();
    ~TdtmDBGeral() override;

    // The database file, as the file system spells it. Changing it closes
    // the connection; the next use opens the new file.
    const std::string& Database() const { return database_; }
    void SetDatabase(const std::string& path);

    // Opens the connection if needed.
    sqlite3* Connection();
    bool Connected() const { return db_ != nullptr; }
    void Close();

private:
    TdtmDBGeral();
    static void RegisterFunctions(sqlite3* db);

    std::string database_;
    sqlite3* db_ = nullptr;
};
