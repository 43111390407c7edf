#include "shell/ScriptLine.h"

#include <stdexcept>

std::vector<std::string> ScriptLine::Split(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    size_t n = line.size();
    while (i < n && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    if (i >= n || line[i] == '#') {
        return words;
    }
    while (i < n) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        word += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                word += line[i++];
            }
            if (!closed) {
                throw std::invalid_argument("unterminated quote");
            }
        } else {
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}
