// function_symbols.h
//
// The function symbols of the objects loaded in the process, read from the symbol table
// (.symtab) their files keep, so that a crash report names a program's own functions: the
// dynamic symbol table, all that dladdr sees, holds only what an object exports, and the
// libraries here export little. Read once, at start-up, into a table that the crash handler
// searches without allocating or locking.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelph::sys {

// A function that holds an address, and the object file it comes from.
struct FunctionAtAddress {
  const char* name = nullptr;    // as the symbol table holds it (mangled)
  const char* object = nullptr;  // the file's path
  std::uintptr_t offset = 0;     // of the address from the function's start
};

// Reads the symbol tables of the objects loaded now; objects whose file keeps none (stripped
// system libraries, the vDSO) are left out. The table replaces the one read before, which
// stays readable for a handler running at the time (its memory is never freed). Not
// thread-safe against itself: the start-up thread calls it, after loading what it reports on.
void LoadFunctionSymbols();

// The function that holds `address`, or a result with a null name. Async-signal-safe: reads
// only the table published last.
FunctionAtAddress FindFunction(std::uintptr_t address);

}  // namespace zelph::sys
