// dynamic_library.cpp
//
// DynamicLibrary over dlopen/dlsym/dlclose.
#include "zelph/platform/dynamic_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <utility>

namespace zelph::sys {
namespace {

std::string LastError() {
  const char* error = dlerror();
  return error ? error : "unknown dynamic loader error";
}

}  // namespace

DynamicLibrary DynamicLibrary::Open(const std::string& path) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) throw std::runtime_error(LastError());
  return DynamicLibrary(handle, path);
}

DynamicLibrary::DynamicLibrary(void* handle, std::string path)
    : handle_(handle), path_(std::move(path)) {}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_) dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::KeepLoaded() {
  // Re-opening a loaded library with RTLD_NODELETE marks it as never to be unloaded.
  if (void* pinned = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) {
    dlclose(pinned);
  }
}

}  // namespace zelph::sys
