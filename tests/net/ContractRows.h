#pragma once
// Rows of the data sets the contract declares, built by field name, so that a
// field the contract gains needs no fixture of its own: a field a row does not
// name is null, as a data set leaves a field nobody set and as the server
// sends a column nobody filled.
#include "platform/core/DataPacket.h"
#include "platform/net/ServClienteContract.h"

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace contractrows {

using NamedValues = std::map<std::string, FieldValue>;

inline const ContractDataSet& Assigned()
{
    return ServClienteContract::Get().DataSet(ServClienteContract::kAssigned);
}

// The values of a row of dataSet in its fields' order. A name the data set
// does not declare throws std::out_of_range, so that a misspelt field is not
// a silent null.
inline std::vector<FieldValue> RowOf(const ContractDataSet& dataSet, const NamedValues& values)
{
    for (const auto& named : values) {
        dataSet.Field(named.first);
    }
    std::vector<FieldValue> row;
    for (const auto& field : dataSet.fields) {
        const auto found = values.find(field.name);
        row.push_back(found != values.end() ? found->second : std::nullopt);
    }
    return row;
}

// A row of the assigned services: the service of a branch that a client has.
inline std::vector<FieldValue> AssignedRow(const FieldValue& branch, const FieldValue& service,
                                           const FieldValue& client, const FieldValue& name)
{
    return RowOf(Assigned(),
                 {{"CDFILIAL", branch}, {"CDSERVFILI", service}, {"CDCLIENTE", client}, {"NMSERVICO", name}});
}

// The position of an assigned-services field in a row.
inline size_t AssignedIndex(const std::string& field)
{
    const int index = Assigned().FieldIndex(field);
    if (index < 0) {
        throw std::out_of_range("no assigned-services field " + field);
    }
    return static_cast<size_t>(index);
}

// The row without one of its fields: what a data set that dropped the field holds.
inline std::vector<FieldValue> Without(std::vector<FieldValue> row, const std::string& field)
{
    row.erase(row.begin() + static_cast<std::ptrdiff_t>(AssignedIndex(field)));
    return row;
}

} // namespace contractrows
