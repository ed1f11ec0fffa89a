// data_jvm.h
//
// Java VM option files ("jvm.json", "jvm.extended.json"): the class path entries, Java VM
// options and option exclusions the Java plug-in gives the Java VM, and their reader.
#pragma once

#include <list>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"

namespace zelph {

struct ZELPH_CHAIN_API DataJvm {
  explicit DataJvm(const std::string& text) : text(text) {}

  // Given by the caller; the reader never changes it.
  std::string text;
  std::list<std::string> classpath;
  std::list<std::string> vm_options;
  std::list<std::string> vm_options_exclude;
};

// Reads the option file at `path` (UTF-8) into `jvm`: each of "classpath", "vm_options" and
// "vm_options_exclude" present replaces its list. Any value of the wrong type fails the
// file. Returns 0 when the file was read, 1 when not (the reason is logged at error level);
// lists replaced before a failure keep their new content. Only kRapidJson reads files.
// Thread-safe.
ZELPH_CHAIN_API int ParseJvmFile(const std::string& path, JsonParser parser, DataJvm& jvm);

}  // namespace zelph
