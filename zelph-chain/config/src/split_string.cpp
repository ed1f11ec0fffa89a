// split_string.cpp
#include "zelph/config/split_string.h"

namespace zelph {

std::vector<std::string> SplitString(const std::string& text, const std::string& delimiter) {
  if (delimiter.empty()) return {text};
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t found; (found = text.find(delimiter, start)) != std::string::npos;
       start = found + delimiter.size()) {
    pieces.push_back(text.substr(start, found - start));
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace zelph
