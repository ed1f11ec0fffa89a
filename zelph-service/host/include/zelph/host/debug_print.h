// debug_print.h
//
// Diagnostic lines of the start-up, shown with the "debug" option.
#pragma once

#include <string>

namespace zelph::host {

// Writes "~~DEBUG~~ " and `text` as one line to standard error (flushed) when the command
// line asked for debug output; otherwise nothing. Any thread.
void DebugPrint(std::string text);

}  // namespace zelph::host
