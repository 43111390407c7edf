#pragma once
// Where the operator sees error messages. The shell installs its sink (the
// script driver prints JSON lines, the GUI opens a message box); without one,
// messages go to standard error.
#include <functional>
#include <string>

namespace ErrorSink {

using Sink = std::function<void(const std::string& text)>;

// Installs a sink; returns the previous one so a caller can restore it.
Sink Set(Sink sink);

// Shows one Windows-1252 message to the operator.
void Show(const std::string& text);

} // namespace ErrorSink
