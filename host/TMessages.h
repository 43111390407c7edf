#pragma once
// A screen's message table: each line reads key, "|", text. Msg finds a text by
// its key without regard to case (accented Windows-1252 letters included), so
// "Filial_nc" finds the line "filial_nc|...".
//
// A line without "|" or with a blank key holds no message and is skipped;
// blanks around a key are dropped, the text is kept as written. When a key
// appears twice the first line wins. Msg with a key the table lacks raises
// EInvalidOperation naming the key and the table: a screen asking for a
// message it does not carry is a fault to be seen, not a blank message box.
#include "platform/model/TComponent.h"

#include <string>
#include <unordered_map>
#include <vector>

class TMessages : public TComponent {
public:
    DECLARE_CLASS_NAME(TMessages)
    explicit TMessages(TComponent* AOwner);

    const std::vector<std::string>& Lines() const { return lines_; }
    void SetLines(std::vector<std::string> value);

    std::string Msg(const std::string& key) const;
    // The message with %1, %2... replaced by the arguments.
    std::string Msg(const std::string& key, const std::vector<std::string>& args) const;
    // Whether the table has a line for key.
    bool HasMsg(const std::string& key) const;

private:
    std::vector<std::string> lines_;
    // Upper-case key to the line's text.
    std::unordered_map<std::string, std::string> index_;
};
