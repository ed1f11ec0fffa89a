// text_conversion.cpp
//
// The standard conversions, with their exceptions rethrown under descriptive texts.
#include "zelph/config/text_conversion.h"

#include <stdexcept>
#include <string_view>

namespace zelph::text {
namespace {

template <typename Convert>
auto Rethrowing(std::string_view name, Convert convert) {
  try {
    return convert();
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("invalid " + std::string(name) + " argument");
  } catch (const std::out_of_range&) {
    throw std::out_of_range(std::string(name) + " argument out of range");
  }
}

}  // namespace

int StoI(const std::string& text, std::size_t* index, int base) {
  return Rethrowing("stoi", [&] { return std::stoi(text, index, base); });
}

long long StoLL(const std::string& text, std::size_t* index, int base) {
  return Rethrowing("stoll", [&] { return std::stoll(text, index, base); });
}

double StoD(const std::string& text, std::size_t* index) {
  return Rethrowing("stod", [&] { return std::stod(text, index); });
}

}  // namespace zelph::text
