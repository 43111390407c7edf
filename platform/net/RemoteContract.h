#pragma once
// What a client and a server agree on for one remote data module: its
// methods (name, argument kinds, result, whether it writes, which arguments
// name the branch and the client) and the data sets its methods answer
// (fields, types, sizes). Both sides link it: the server registers its
// methods, checks their arguments, applies the branch rights and builds its
// packets from it; the client checks a call against it before sending; the
// screen checks its data sets' fields against it when its form is read.
//
// Failure behaviour: CheckCall throws ERemoteRefusal with the code the server
// would answer (srv.metodo_desconhecido, srv.descritor); CheckFields throws
// EDatabaseError naming the field that does not match; DataSet and Field
// throw std::out_of_range for a name never declared.
#include "platform/core/DataPacket.h"
#include "platform/core/Variant.h"
#include "platform/net/CallDescriptor.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ContractField {
    std::string name;
    TFieldType type = TFieldType::ftString;
    // The most characters a text may have; the database's column has as many.
    int size = 0;
    // A fixed-width column (char(n)): its trailing blanks are dropped when read.
    bool fixedWidth = false;
    // The server writes into it the moment it stores the row (UTC, as
    // "2026-12-09T01:06:18.123456Z": a text of 27); what a client sends in it
    // is not stored.
    bool stampedByServer = false;
};

struct ContractDataSet {
    std::string name;
    std::vector<ContractField> fields;

    // The field's position; -1 when the data set has none of that name.
    int FieldIndex(const std::string& fieldName) const;
    const ContractField& Field(const std::string& fieldName) const;
    // The fields as a data packet declares them.
    std::vector<PacketField> PacketFields() const;
};

enum class TResultKind { rkDataSet, rkInteger };

struct ContractMethod {
    std::string name;
    std::vector<TArgType> args;
    TResultKind result = TResultKind::rkInteger;
    // The data set a rkDataSet method answers.
    std::string dataSet;
    // Whether the method changes data.
    bool writes = false;
    // The argument that names the branch (its field: CDFILIAL) and the one
    // that names the client (CDCLIENTE); -1 for none. The server checks the
    // caller's right to the branch before the method runs.
    int branchArg = -1;
    int clientArg = -1;
    // For a method taking a change packet: the field of each entry that names
    // its branch, whose rights are checked entry by entry.
    std::string entryBranchField;
};

// What a session that asked for live updates (Protocol's Update) is told:
// the changes others store of the rows that the method watchedBy answered
// it last, for the branch and client that call named (its branchArg and
// clientArg), each change naming the row by its field itemField.
struct ContractLiveUpdate {
    std::string watchedBy;
    std::string itemField;
};

class RemoteContract {
public:
    // Throws std::logic_error for a live update whose method is not declared,
    // names no branch and client, or whose data set lacks itemField.
    RemoteContract(std::string serverName, std::vector<ContractDataSet> dataSets, std::vector<ContractMethod> methods,
                   std::optional<ContractLiveUpdate> liveUpdate = std::nullopt);

    const std::string& ServerName() const { return serverName_; }
    const std::vector<ContractMethod>& Methods() const { return methods_; }
    const std::vector<ContractDataSet>& DataSets() const { return dataSets_; }
    // Null for a module that sends no live updates.
    const ContractLiveUpdate* LiveUpdate() const { return liveUpdate_ ? &*liveUpdate_ : nullptr; }
    // The branch and client (as sent, Windows-1252) that a call of the
    // method live updates follow names; nothing for any other call, or one
    // whose arguments there (arg(i): the i-th, null past the last) are not
    // texts.
    std::optional<std::pair<std::string, std::string>>
    WatchedView(const std::string& method, const std::function<const Variant*(size_t)>& arg) const;

    // By name without regard to case, as late-bound names are; null for none.
    const ContractMethod* FindMethod(const std::string& name) const;
    const ContractDataSet& DataSet(const std::string& name) const;

    // Refuses a call of a method not declared, or with other argument kinds.
    void CheckCall(const std::string& method, const std::vector<TArgType>& args) const;
    // Refuses fields (name and size, in any order) that are not the declared
    // data set's: a field it lacks, a size of another width, or one of its
    // fields left out. owner names the holder in the message.
    void CheckFields(const std::string& dataSet, const std::vector<std::pair<std::string, int>>& fields,
                     const std::string& owner) const;

    // The contract of a module by its registered name ("Zel.rdmServCliente"),
    // without regard to case; null for a module with none.
    static const RemoteContract* Find(const std::string& serverName);

private:
    std::string serverName_;
    std::vector<ContractDataSet> dataSets_;
    std::vector<ContractMethod> methods_;
    std::optional<ContractLiveUpdate> liveUpdate_;
};
