// message_box.cpp
#include "zelph/platform/message_box.h"

#include <iostream>

namespace zelph::sys {

void ShowMessageBox(const std::string& caption, const std::string& text) {
  try {
    std::cerr << caption << ": " << text << std::endl;
  } catch (...) {
    // A closed standard error leaves nowhere to report to.
  }
}

}  // namespace zelph::sys
