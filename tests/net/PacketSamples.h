#pragma once
// Packets shared by the codec tests.
#include "platform/core/DataPacket.h"
#include "tests/net/ContractRows.h"

// A change packet of assignments holding every kind of row, nulls, and
// Windows-1252 bytes above 0x7F.
inline DataPacket ChangePacket()
{
    using contractrows::AssignedRow;
    DataPacket p;
    p.fields = contractrows::Assigned().PacketFields();
    p.fields[0].required = true; // so that the flag travels too
    p.rows.push_back(
        {TUpdateStatus::usInserted, AssignedRow("0001", "00012", "00000004", "Manuten\xE7\xE3o \x80"), {}});
    p.rows.push_back({TUpdateStatus::usDeleted, AssignedRow("0001", "00007", "00000004", std::nullopt), {}});
    p.rows.push_back({TUpdateStatus::usModified, AssignedRow("0001", "00009", "00000004", "Novo"),
                      AssignedRow("0001", "00008", "00000004", "Velho")});
    p.rows.push_back({TUpdateStatus::usUnmodified, AssignedRow("0002", "00001", "", std::string(40, 'x')), {}});
    return p;
}
