#include "host/TdtmDBGeral.h"

#include "host/HostMessages.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// A database in WAL mode is read through a shared-memory file beside it, which
// a reader must be able to make; in a folder the operator may not write (a
// copy shared by the administrator) SQLite then says "attempt to write a
// readonly database". Such a file is opened as immutable: the shell never
// writes it, and whoever refreshes it replaces it whole.
bool WalInReadOnlyFolder(const std::string& path)
{
    char header[20] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(header, sizeof header) || header[18] != 2 || header[19] != 2) {
        return false;
    }
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return access(folder.c_str(), W_OK) != 0;
}

std::string ImmutableUri(const std::string& path)
{
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c < 0x21 || c >= 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            uri += hex;
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri + "?immutable=1";
}

// SQLite reports in UTF-8; the operator reads Windows-1252.
std::string ToOperatorText(const char* utf8)
{
    std::string text = utf8 != nullptr ? utf8 : "";
    try {
        return Cp1252::FromUtf8(text);
    } catch (const EConvertError&) {
        for (char& c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                c = '?';
            }
        }
        return text;
    }
}

void NvlStr(sqlite3_context* context, int /*argc*/, sqlite3_value** argv)
{
    sqlite3_result_value(context, sqlite3_value_type(argv[0]) != SQLITE_NULL ? argv[0] : argv[1]);
}

// PARAM(x): an eponymous virtual table with the visible column PARAM and a
// hidden column ARG that receives the argument. It yields one row.
constexpr int kParamColumn = 0;
constexpr int kArgColumn = 1;

struct ParamCursor {
    sqlite3_vtab_cursor base;
    sqlite3_value* value = nullptr;
    bool eof = false;
};

int ParamConnect(sqlite3* db, void* /*aux*/, int /*argc*/, const char* const* /*argv*/, sqlite3_vtab** vtab,
                 char** /*err*/)
{
    int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(PARAM, ARG HIDDEN)");
    if (rc != SQLITE_OK) {
        return rc;
    }
    auto* table = static_cast<sqlite3_vtab*>(sqlite3_malloc(sizeof(sqlite3_vtab)));
    if (table == nullptr) {
        return SQLITE_NOMEM;
    }
    *table = sqlite3_vtab{};
    *vtab = table;
    return SQLITE_OK;
}

int ParamDisconnect(sqlite3_vtab* vtab)
{
    sqlite3_free(vtab);
    return SQLITE_OK;
}

int ParamBestIndex(sqlite3_vtab* /*vtab*/, sqlite3_index_info* info)
{
    bool argWanted = false;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn != kArgColumn || c.op != SQLITE_INDEX_CONSTRAINT_EQ) {
            continue;
        }
        argWanted = true;
        if (c.usable) {
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->idxNum = 1;
            info->estimatedCost = 1.0;
            info->estimatedRows = 1;
            return SQLITE_OK;
        }
    }
    if (argWanted) {
        // The argument is there but not yet known in this plan: ask the
        // planner for another order.
        return SQLITE_CONSTRAINT;
    }
    info->idxNum = 0;
    info->estimatedCost = 1.0;
    info->estimatedRows = 1;
    return SQLITE_OK;
}

int ParamOpen(sqlite3_vtab* /*vtab*/, sqlite3_vtab_cursor** cursor)
{
    auto* c = static_cast<ParamCursor*>(sqlite3_malloc(sizeof(ParamCursor)));
    if (c == nullptr) {
        return SQLITE_NOMEM;
    }
    *c = ParamCursor{};
    *cursor = &c->base;
    return SQLITE_OK;
}

int ParamClose(sqlite3_vtab_cursor* cursor)
{
    auto* c = reinterpret_cast<ParamCursor*>(cursor);
    sqlite3_value_free(c->value);
    sqlite3_free(c);
    return SQLITE_OK;
}

int ParamFilter(sqlite3_vtab_cursor* cursor, int idxNum, const char* /*idxStr*/, int argc, sqlite3_value** argv)
{
    auto* c = reinterpret_cast<ParamCursor*>(cursor);
    sqlite3_value_free(c->value);
    c->value = nullptr;
    if (idxNum == 1 && argc >= 1) {
        c->value = sqlite3_value_dup(argv[0]);
        if (c->value == nullptr) {
            return SQLITE_NOMEM;
        }
    }
    c->eof = false;
    return SQLITE_OK;
}

int ParamNext(sqlite3_vtab_cursor* cursor)
{
    reinterpret_cast<ParamCursor*>(cursor)->eof = true;
    return SQLITE_OK;
}

int ParamEof(sqlite3_vtab_cursor* cursor)
{
    return reinterpret_cast<ParamCursor*>(cursor)->eof ? 1 : 0;
}

int ParamColumn(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column)
{
    auto* c = reinterpret_cast<ParamCursor*>(cursor);
    if ((column == kParamColumn || column == kArgColumn) && c->value != nullptr) {
        sqlite3_result_value(context, c->value);
    } else {
        sqlite3_result_null(context);
    }
    return SQLITE_OK;
}

int ParamRowid(sqlite3_vtab_cursor* /*cursor*/, sqlite3_int64* rowid)
{
    *rowid = 1;
    return SQLITE_OK;
}

sqlite3_module MakeParamModule()
{
    sqlite3_module m{};
    m.iVersion = 0;
    m.xCreate = nullptr; // eponymous only: PARAM exists without CREATE VIRTUAL TABLE
    m.xConnect = ParamConnect;
    m.xBestIndex = ParamBestIndex;
    m.xDisconnect = ParamDisconnect;
    m.xDestroy = nullptr;
    m.xOpen = ParamOpen;
    m.xClose = ParamClose;
    m.xFilter = ParamFilter;
    m.xNext = ParamNext;
    m.xEof = ParamEof;
    m.xColumn = ParamColumn;
    m.xRowid = ParamRowid;
    return m;
}

const sqlite3_module kParamModule = MakeParamModule();

} // namespace

TdtmDBGeral& TdtmDBGeral::Instance()
{
    static TdtmDBGeral instance;
    return instance;
}

TdtmDBGeral::TdtmDBGeral() : TComponent(nullptr)
{
    SetName("dtmDBGeral");
}

TdtmDBGeral::~TdtmDBGeral()
{
    Close();
}

void TdtmDBGeral::SetDatabase(const std::string& path)
{
    if (path != database_) {
        Close();
        database_ = path;
    }
}

void TdtmDBGeral::Close()
{
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void TdtmDBGeral::RegisterFunctions(sqlite3* db)
{
    int rc = sqlite3_create_function_v2(db, "NVLSTR", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, NvlStr, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_module_v2(db, "PARAM", &kParamModule, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        throw EDatabaseError("Cannot prepare the local database connection: " + ToOperatorText(sqlite3_errmsg(db)));
    }
}

sqlite3* TdtmDBGeral::Connection()
{
    if (db_ != nullptr) {
        return db_;
    }
    if (database_.empty()) {
        throw EDatabaseError(HostMessages::Text("local.nenhum"));
    }
    sqlite3* db = nullptr;
    int rc = WalInReadOnlyFolder(database_) ? sqlite3_open_v2(ImmutableUri(database_).c_str(), &db,
                                                              SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
                                            : sqlite3_open_v2(database_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        // SQLite's reason goes to the log; the operator learns which file.
        std::cerr << "shell: cannot open the local database '" << database_
                  << "': " << (db != nullptr ? sqlite3_errmsg(db) : "out of memory") << "\n";
        sqlite3_close_v2(db);
        throw EDatabaseError(HostMessages::Text("local.abrir", {ToOperatorText(database_.c_str())}));
    }
    try {
        sqlite3_busy_timeout(db, 2000);
        RegisterFunctions(db);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    db_ = db;
    return db_;
}
