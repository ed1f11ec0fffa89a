#include "zelph/platform/dynamic_library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using zelph::sys::DynamicLibrary;

bool IsLoaded(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

TEST(DynamicLibraryTest, ResolvesExportedSymbolsAndMissesOthers) {
  DynamicLibrary library = DynamicLibrary::Open(FIXTURE_LIBRARY);
  auto answer = reinterpret_cast<int (*)()>(library.Symbol("FixtureAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(library.Symbol("NoSuchEntryPoint"), nullptr);
}

TEST(DynamicLibraryTest, MissingLibraryThrowsTheLoaderReason) {
  try {
    DynamicLibrary::Open("/nonexistent/plugin.so");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/plugin.so"), std::string::npos);
  }
}

TEST(DynamicLibraryTest, UnpinnedLibraryUnloadsAndPinnedOneStays) {
  { DynamicLibrary library = DynamicLibrary::Open(FIXTURE_LIBRARY); }
  EXPECT_FALSE(IsLoaded(FIXTURE_LIBRARY));
  {
    DynamicLibrary library = DynamicLibrary::Open(FIXTURE_LIBRARY);
    DynamicLibrary moved = std::move(library);
    moved.KeepLoaded();
  }
  EXPECT_TRUE(IsLoaded(FIXTURE_LIBRARY));
}

}  // namespace
