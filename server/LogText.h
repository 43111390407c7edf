#pragma once
// Text from outside the process (a peer's names, the texts of faults, a
// database's messages) made safe for one log line: a line feed, a carriage
// return and a tab become \n, \r and \t, every other control byte, DEL and
// every byte above 0x7F becomes \xNN, and a backslash becomes \\, so a peer
// can neither start a forged line nor send escapes to an operator's terminal,
// and the original bytes can still be read back from the line.
#include <string>
#include <string_view>

std::string LogText(std::string_view text);
