// dynamic_library.h
//
// A shared library loaded at run time: plug-ins and the Java VM library. Symbols resolve at
// load (RTLD_NOW) and stay private to the library (RTLD_LOCAL). Closing a library whose
// code is still referenced (models it made, a running VM) would leave dangling code, so
// such a library is pinned with KeepLoaded and is never unloaded.
#pragma once

#include <string>

namespace zelph::sys {

class DynamicLibrary {
 public:
  // Loads the library at `path`. Throws std::runtime_error with the loader's own reason.
  static DynamicLibrary Open(const std::string& path);

  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  // Drops this handle; the code stays mapped when the library was pinned.
  ~DynamicLibrary();

  // The address of an exported symbol, or nullptr when the library has none by that name.
  void* Symbol(const char* name) const;

  // Pins the library in the process for good, whatever happens to this handle.
  void KeepLoaded();

  const std::string& Path() const { return path_; }

 private:
  DynamicLibrary(void* handle, std::string path);

  void* handle_ = nullptr;
  std::string path_;
};

}  // namespace zelph::sys
