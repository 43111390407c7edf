#pragma once
// Splits one line of a shell script into words: words are separated by spaces;
// a word in double quotes may hold spaces (a doubled quote inside stands for
// one quote). Blank lines and lines starting with '#' have no words.
#include <string>
#include <vector>

class ScriptLine {
public:
    // Throws std::invalid_argument for an unterminated quote.
    static std::vector<std::string> Split(const std::string& line);
};
