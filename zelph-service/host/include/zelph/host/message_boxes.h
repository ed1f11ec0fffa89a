// message_boxes.h
//
// The two messages shown to the person who started the program when it cannot go on: a
// general error and a refused start. Each is shown (on standard error, and logged at
// error level) only while the configuration's "show_message_box_on_exit" holds, which it
// does by default, so before the configuration is read too.
#pragma once

#include <string>

namespace zelph::host {

inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kStartErrorCaption = "Cannot start Davodavora server";

// Any thread.
void ShowErrorMessageBox(const std::string& text);
void ShowStartErrorMessageBox(const std::string& text);

}  // namespace zelph::host
