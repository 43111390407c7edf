#include "server/ServerText.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <cstdio>

std::string ServerText::Describe(const std::string& field)
{
    if (field == "CDFILIAL") {
        return "branch code";
    }
    if (field == "CDCLIENTE") {
        return "client code";
    }
    if (field == "NRINSJURCLIE") {
        return "registration number";
    }
    if (field == "CDSERVFILI") {
        return "service code";
    }
    return field;
}

void ServerText::CheckSize(const std::string& method, const std::string& field, const std::string& text, int size)
{
    if (text.size() > static_cast<size_t>(size)) {
        throw ERemoteRefusal(method + ": the " + Describe(field) + " has " + std::to_string(text.size()) +
                                 " characters, more than the " + std::to_string(size) + " it may have",
                             0, "srv.texto_longo", {method, field, std::to_string(text.size()), std::to_string(size)});
    }
}

std::string ServerText::ToDb(const std::string& method, const std::string& field, const std::string& text)
{
    try {
        return Cp1252::ToUtf8(text);
    } catch (const EConvertError& e) {
        throw ERemoteRefusal(method + ": the " + Describe(field) + " holds a byte that is not a character: " + e.what(),
                             0, "srv.texto_invalido", {method, field});
    }
}

FieldValue ServerText::FromDb(const std::string& method, SqlValue&& value, bool trimRight, const char* what,
                              const std::string& key)
{
    if (!value) {
        return std::nullopt;
    }
    std::string text;
    try {
        text = Cp1252::TakeFromUtf8(std::move(*value));
    } catch (const EConvertError& e) {
        throw ERemoteError(method + ": " + what + " " + key + " holds a character that Windows-1252 cannot show (" +
                               e.what() + ")",
                           "srv.dado_ilegivel", {method, key});
    }
    if (trimRight) {
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
    }
    return text;
}

void ServerText::CheckKey(const std::string& method, const std::string& field, const std::string& text, unsigned entry)
{
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", c);
            const std::string where = entry ? " of entry " + std::to_string(entry) + " of the change packet" : "";
            throw ERemoteRefusal(method + ": the " + Describe(field) + where + " holds the control character " + code +
                                     ", which a key may not hold; nothing was stored",
                                 entry, "srv.texto_invalido", {method, field});
        }
    }
}

void ServerText::CheckStored(const std::string& method, const PacketField& field, const FieldValue& value,
                             const char* what, const std::string& key)
{
    if (field.type == TFieldType::ftString && value && value->size() > static_cast<size_t>(field.size)) {
        throw ERemoteError(method + ": " + what + " " + key + " has a " + field.name + " of " +
                               std::to_string(value->size()) + " characters, more than the " +
                               std::to_string(field.size) + " it may have",
                           "srv.dado_ilegivel", {method, key});
    }
}
