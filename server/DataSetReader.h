#pragma once
// Reading a data set the contract declares: its select list follows the
// declared fields, each stored text is converted and checked against its
// field, and the rows come in the order of their key column. A method that
// answers a declared data set writes only its FROM and WHERE.
#include "platform/core/DataPacket.h"
#include "platform/net/RemoteContract.h"
#include "server/Database.h"

#include <functional>
#include <string>
#include <vector>

class DataSetReader {
public:
    // The select list of the data set's fields, each column named by the
    // table alias tableOf gives it ("s." or "" for none).
    static std::string Columns(const ContractDataSet& dataSet,
                               const std::function<std::string(const std::string&)>& tableOf);
    // Runs "SELECT <columns> <from>" with params and answers the packet of
    // its rows, ordered by keyField; a row is named in messages as what and
    // its keyField's text ("service 00012").
    static DataPacket Read(Database& db, const std::string& method, const ContractDataSet& dataSet,
                           const std::string& select, const std::vector<SqlValue>& params, const char* what,
                           const char* keyField);
    // A row of a query, its columns in the data set's order, as the packet's
    // next row: each stored text converted and checked against its field, a
    // fixed-width column's trailing blanks dropped; named as what and the
    // text of its column key.
    static void AddRow(DataPacket& packet, const std::string& method, SqlRow&& row, const ContractDataSet& dataSet,
                       const char* what, size_t key);
};
