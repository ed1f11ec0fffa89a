// message_box.h
//
// Messages meant for the person who started the program when it is about to end, where
// a desktop would show a dialog. A server may run with no one at a screen, so the caption
// and text go to standard error, where a terminal or the service manager's journal keeps
// them; the caller also logs them.
#pragma once

#include <string>

namespace zelph::sys {

// Writes "<caption>: <text>" and an end of line to standard error and flushes. Returns at
// once; never throws.
void ShowMessageBox(const std::string& caption, const std::string& text);

}  // namespace zelph::sys
