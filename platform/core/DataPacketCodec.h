#pragma once
// The byte form of a DataPacket, as it travels inside a remote call and as a
// client data set could keep it. MessagePack, versioned.
//
// Layout (MessagePack values, top to bottom):
//
//   array(4)
//     [0] str "SCDP"                      marks a data packet
//     [1] uint version                    DataPacket::kVersion (1)
//     [2] array(F) of fields, each array(4):
//           [0] str name                  1..64 ASCII letters, digits or '_', unique without regard to case
//           [1] uint type                 TFieldType: 1 text, 2 integer
//           [2] uint size                 text: 1..32767 characters; integer: 0
//           [3] bool required
//     [3] array(R) of rows, each array(3):
//           [0] uint status               TUpdateStatus 0..3
//           [1] array(F) values           one per field, in field order
//           [2] array(F or 0) original    F values for a modified row, none otherwise
//
//   A value is nil (null) or bin: the Windows-1252 bytes of the text, at most
//   the field's size; an integer field's value is its decimal text.
//
// F is at most 1024. Nothing else may follow the packet. A reader may bound
// the values a packet holds (a row's values and original values, and one for
// the row itself): a nil takes one byte on the wire and some forty once
// decoded, an empty row four bytes and some sixty. The bound is checked
// before the rows are read, from their announced count, and after each row.
//
// Failure behaviour: Decode never trusts its input. Truncation, a wrong type,
// a count that the remaining bytes cannot hold, a bad name, a text longer than
// its field or a row of the wrong width all throw EPacketError naming the
// problem; nothing is allocated beyond what the input's size allows. Encode
// applies the same rules and throws EPacketError for a packet that breaks
// them, so an invalid packet never leaves the process.
#include "platform/core/DataPacket.h"

#include <msgpack.hpp>

#include <string>
#include <string_view>

class MsgReader;

class DataPacketCodec {
public:
    static constexpr std::string_view kMagic = "SCDP";
    static constexpr int kMaxFields = 1024;
    static constexpr int kMaxNameLength = 64;
    static constexpr int kMaxTextSize = 32767;

    static std::string Encode(const DataPacket& packet);
    // Encode's bytes, written into out (EncodedSize of them).
    static void Write(msgpack::packer<msgpack::sbuffer>& out, const DataPacket& packet);
    static constexpr size_t kNoCellLimit = static_cast<size_t>(-1);

    // EValueBudget (an EPacketError) when the packet holds more than maxCells
    // values.
    static DataPacket Decode(std::string_view bytes, size_t maxCells = kNoCellLimit);
    // The values a packet holds, as Decode counts them: each row's values
    // and original values, and one for the row itself.
    static size_t Cells(const DataPacket& packet);
    // The bytes Encode gives for a valid packet, worked out without building
    // them.
    static size_t EncodedSize(const DataPacket& packet);

    // Checks a packet against the rules above; EPacketError when it breaks one.
    static void Validate(const DataPacket& packet);

private:
    static void ReadField(MsgReader& in, DataPacket& packet);
    static void ReadRow(MsgReader& in, DataPacket& packet);
    static void ReadValues(MsgReader& in, const DataPacket& packet, std::vector<FieldValue>& values);
};
