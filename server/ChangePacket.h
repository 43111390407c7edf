#pragma once
// The entries of a change packet of assignments (ApCoServClie), checked
// before anything is written: the key fields present, of their declared
// sizes, without control characters, in the database's form.
//
// Failure behaviour: an entry that can never be stored is refused for good
// (ERemoteRefusal), naming the entry, so the client can drop it and send the
// rest again; nothing has been written then.
#include "platform/core/DataPacket.h"

#include <functional>
#include <string>
#include <vector>

// One assignment's key in the database's form (UTF-8).
struct AssignmentKey {
    std::string branch;
    std::string client;
    std::string service;
    bool operator==(const AssignmentKey&) const = default;
};

struct AssignmentChange {
    TUpdateStatus status = TUpdateStatus::usUnmodified;
    AssignmentKey key;
    AssignmentKey original; // edits only
    unsigned entry = 0;     // 1-based, in the packet
};

class ChangePacket {
public:
    // The packet's changed entries in order; unmodified rows are skipped.
    // admit sees each entry as soon as it is decoded, before the next one
    // (the caller's access check), and may refuse it by throwing.
    static std::vector<AssignmentChange> Decode(const std::string& method, const DataPacket& packet,
                                                const std::function<void(const AssignmentChange&)>& admit);

private:
    // One key field of an entry in the database's form, refused for good,
    // naming the entry, when it is missing, too long or not text.
    static std::string KeyText(const std::string& method, const FieldValue& value, const char* name, int size,
                               unsigned entry);
};
