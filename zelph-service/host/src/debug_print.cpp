// debug_print.cpp
#include "zelph/host/debug_print.h"

#include <iostream>

#include "zelph/host/command_line.h"

namespace zelph::host {

void DebugPrint(std::string text) {
  if (GetCliArguments().debug) std::cerr << "~~DEBUG~~ " << text << std::endl;
}

}  // namespace zelph::host
