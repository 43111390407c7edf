#pragma once
// The rows of one data set as they travel between the application server and a
// client data set, and the change packet (delta) that goes back. Texts are
// Windows-1252; a null value is std::nullopt.
//
// Encoding: see DataPacketCodec.h (MessagePack, versioned).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class TFieldType : std::uint8_t { ftString = 1, ftInteger = 2 };

struct PacketField {
    std::string name; // ASCII field name, compared without regard to case
    TFieldType type = TFieldType::ftString;
    int size = 0; // maximum length of a text value in characters
    bool required = false;

    bool operator==(const PacketField&) const = default;
};

using FieldValue = std::optional<std::string>;

// How a row of a change packet came to be. Rows of a plain data packet are all
// Unchanged.
enum class TUpdateStatus : std::uint8_t { usUnmodified = 0, usModified = 1, usInserted = 2, usDeleted = 3 };

struct PacketRow {
    TUpdateStatus status = TUpdateStatus::usUnmodified;
    // Current values: for Deleted rows the values the row had when deleted.
    std::vector<FieldValue> values;
    // Values as last loaded or merged; filled for Modified rows only.
    std::vector<FieldValue> original;

    bool operator==(const PacketRow&) const = default;
};

struct DataPacket {
    static constexpr int kVersion = 1;
    std::vector<PacketField> fields;
    std::vector<PacketRow> rows;

    // Index of a field by name, case-insensitive; -1 when absent.
    int FieldIndex(std::string_view name) const;
    bool operator==(const DataPacket&) const = default;
};
