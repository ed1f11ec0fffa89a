// function_symbols.cpp
//
// Each object file is mapped read-only for the life of the process and its symbol and string
// tables are used in place; the table holds one entry per function, sorted by address.
#include "function_symbols.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace zelph::sys {
namespace {

struct Function {
  std::uintptr_t start;
  std::uintptr_t end;
  const char* name;
  const char* object;
};

struct Table {
  std::vector<Function> functions;
  std::vector<std::string> objects;
  // The table this one replaced, kept for a handler that may still read it.
  const Table* previous = nullptr;
};

std::atomic<const Table*> published{nullptr};
static_assert(std::atomic<const Table*>::is_always_lock_free);

// The file mapped whole, or null.
const unsigned char* MapFile(const char* path, size_t& size) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat status {};
  void* mapped = MAP_FAILED;
  if (fstat(fd, &status) == 0 && status.st_size >= static_cast<off_t>(sizeof(ElfW(Ehdr)))) {
    size = static_cast<size_t>(status.st_size);
    mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  }
  close(fd);
  return mapped == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(mapped);
}

// Adds the functions of the object file at `path`, loaded at `base`; false when the file
// keeps no symbol table (then it is unmapped again).
bool AddObject(const char* path, std::uintptr_t base, const char* object, Table& table) {
  size_t size = 0;
  const unsigned char* file = MapFile(path, size);
  if (file == nullptr) return false;
  const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(file);
  const bool sections_fit = std::memcmp(header->e_ident, ELFMAG, SELFMAG) == 0 &&
                            header->e_shentsize == sizeof(ElfW(Shdr)) && header->e_shoff < size &&
                            header->e_shnum <= (size - header->e_shoff) / sizeof(ElfW(Shdr));
  const size_t before = table.functions.size();
  if (sections_fit) {
    const auto* sections = reinterpret_cast<const ElfW(Shdr)*>(file + header->e_shoff);
    for (unsigned i = 0; i < header->e_shnum; ++i) {
      const ElfW(Shdr)& symbols = sections[i];
      if (symbols.sh_type != SHT_SYMTAB || symbols.sh_link >= header->e_shnum) continue;
      const ElfW(Shdr)& strings = sections[symbols.sh_link];
      if (symbols.sh_offset > size || symbols.sh_size > size - symbols.sh_offset ||
          strings.sh_offset > size || strings.sh_size > size - strings.sh_offset ||
          strings.sh_size == 0 || file[strings.sh_offset + strings.sh_size - 1] != '\0') {
        continue;
      }
      const auto* first = reinterpret_cast<const ElfW(Sym)*>(file + symbols.sh_offset);
      const size_t count = symbols.sh_size / sizeof(ElfW(Sym));
      const char* names = reinterpret_cast<const char*>(file + strings.sh_offset);
      for (size_t s = 0; s < count; ++s) {
        const ElfW(Sym)& symbol = first[s];
        const int type = ELF64_ST_TYPE(symbol.st_info);
        if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF ||
            symbol.st_size == 0 || symbol.st_name >= strings.sh_size) {
          continue;
        }
        const std::uintptr_t start = base + symbol.st_value;
        table.functions.push_back({start, start + symbol.st_size, names + symbol.st_name, object});
      }
    }
  }
  if (table.functions.size() == before) {
    munmap(const_cast<unsigned char*>(file), size);
    return false;
  }
  return true;
}

}  // namespace

void LoadFunctionSymbols() {
  auto* table = new Table;
  std::vector<std::pair<std::string, std::uintptr_t>> loaded;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto& objects = *static_cast<std::vector<std::pair<std::string, std::uintptr_t>>*>(data);
        // The program itself comes first, with an empty name.
        std::string path = info->dlpi_name == nullptr ? "" : info->dlpi_name;
        if (path.empty() && objects.empty()) {
          std::error_code error;
          path = std::filesystem::read_symlink("/proc/self/exe", error).string();
        }
        if (!path.empty()) objects.emplace_back(path, info->dlpi_addr);
        return 0;
      },
      &loaded);
  // Every path first: the entries point into these strings, so they must not move.
  table->objects.reserve(loaded.size());
  for (const auto& [path, base] : loaded) table->objects.push_back(path);
  for (size_t i = 0; i < loaded.size(); ++i) {
    AddObject(loaded[i].first.c_str(), loaded[i].second, table->objects[i].c_str(), *table);
  }
  std::sort(table->functions.begin(), table->functions.end(),
            [](const Function& a, const Function& b) { return a.start < b.start; });
  table->previous = published.load();
  published.store(table);
}

FunctionAtAddress FindFunction(std::uintptr_t address) {
  const Table* table = published.load();
  if (table == nullptr) return {};
  const std::vector<Function>& functions = table->functions;
  // The last function that starts at or before the address may end before it while an
  // earlier symbol still covers it (an alias of a larger size, a function with a part moved
  // away): look further back, as far as a function of reasonable size could reach.
  auto after = std::upper_bound(functions.begin(), functions.end(), address,
                                [](std::uintptr_t a, const Function& f) { return a < f.start; });
  while (after != functions.begin()) {
    --after;
    if (address < after->end) return {after->name, after->object, address - after->start};
    if (address - after->start > (std::uintptr_t{1} << 24)) break;
  }
  return {};
}

}  // namespace zelph::sys
