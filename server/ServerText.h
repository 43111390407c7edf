#pragma once
// Texts between the client and the database: the client speaks Windows-1252,
// the database stores UTF-8. Each conversion and check names the method and
// the field, in the operator's words, so that a refusal says what was wrong.
//
// Failure behaviour: what the client sent that can never be stored (a text
// too long, a byte that is no character, a key holding a control character)
// is refused for good (ERemoteRefusal); a stored text the client cannot be
// shown fails the call (ERemoteError) and nothing else.
#include "platform/core/DataPacket.h"
#include "server/Database.h"

#include <string>

class ServerText {
public:
    // The operator's words for a field an argument fills ("branch code").
    static std::string Describe(const std::string& field);
    // Refuses a text longer than size characters.
    static void CheckSize(const std::string& method, const std::string& field, const std::string& text, int size);
    // A key text (branch, client, service) holding a control character is
    // refused before anything is written: it would reach the log and the
    // audit as a line break or a terminal command. entry names the change
    // packet's entry, 0 for an argument.
    static void CheckKey(const std::string& method, const std::string& field, const std::string& text,
                         unsigned entry = 0);
    // A Windows-1252 argument as the database stores it.
    static std::string ToDb(const std::string& method, const std::string& field, const std::string& text);
    // A stored text as the client reads it, converted in its own bytes where
    // it can; with trimRight a fixed-width column's trailing blanks are
    // dropped, so both databases answer alike. The row is named in messages
    // as what and its key.
    static FieldValue FromDb(const std::string& method, SqlValue&& value, bool trimRight, const char* what,
                             const std::string& key);
    // A text value longer than its field's size fails the call; values of
    // fields that are not text have no size to keep.
    static void CheckStored(const std::string& method, const PacketField& field, const FieldValue& value,
                            const char* what, const std::string& key);
};
