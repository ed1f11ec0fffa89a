# The hardening every installed binary carries, as Debian's build tools give it: the stack
# protector for functions with arrays or addresses of locals, checked variants of the C
# library's copy and format functions (_FORTIFY_SOURCE), and a full RELRO with every symbol
# bound at start-up (BIND_NOW), so the relocation tables are read-only once the program runs.
#
# _FORTIFY_SOURCE needs the optimiser (at -O0 the C library warns and checks nothing), so it
# is left out of Debug builds; sanitizer builds leave it out too, since the checked variants
# bypass what the sanitizers intercept. Level 3 where the compiler and the C library know it,
# level 2 elsewhere.
include(CheckCXXSourceCompiles)

check_cxx_source_compiles([[
#include <cstdio>
#if !defined(__has_builtin) || !__has_builtin(__builtin_dynamic_object_size)
#error no dynamic object size
#endif
#if !defined(__GLIBC__) || !__GLIBC_PREREQ(2, 34)
#error no fortify level 3 in this C library
#endif
int main() { return 0; }
]] ZELPH_HAS_FORTIFY_3)
if(ZELPH_HAS_FORTIFY_3)
  set(ZELPH_FORTIFY_LEVEL 3)
else()
  set(ZELPH_FORTIFY_LEVEL 2)
endif()

add_compile_options(-fstack-protector-strong)
if(NOT ZELPH_SANITIZE)
  # Some compilers define it already; undefining first keeps a redefinition warning away.
  # Options rather than definitions, which would come before the -U on the command line.
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${ZELPH_FORTIFY_LEVEL}>")
endif()
add_link_options(LINKER:-z,relro,-z,now)
