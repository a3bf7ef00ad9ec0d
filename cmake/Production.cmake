# qb480_production(target...): the code that ships. It uses no exceptions
# (a C++ library failure ends the program, see framework/SmallRuntime.cpp),
# and in the Windows builds it keeps the library's bounds checks and
# instantiates std::string itself, so unused parts are dropped at link time.
function(qb480_production_flags target)
  target_compile_options(${target} PRIVATE -fno-exceptions)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    # i686 unwinds with tables only exceptions would use; x86_64 keeps
    # its unwind data, which the platform's own unwinding needs.
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
  qb480_coverage(${target})
endfunction()

# A Windows source spends two thirds of its compile time in windows.h: the
# header and the standard ones most sources use are compiled once per build
# tree, with the production code's own flags, and included before anything
# else (so a source must not rely on a macro of its own being set before
# them). A header that no longer matches the flags fails the build instead
# of being parsed again in silence.
if(WIN32)
  add_library(qb480_production_pch STATIC "${CMAKE_CURRENT_LIST_DIR}/ProductionPch.cpp")
  qb480_production_flags(qb480_production_pch)
  target_compile_options(qb480_production_pch PRIVATE -Werror=invalid-pch)
  target_precompile_headers(qb480_production_pch PRIVATE
    <windows.h> <algorithm> <cstdio> <cstring> <memory> <string> <vector>)
endif()

function(qb480_production)
  foreach(target IN LISTS ARGN)
    qb480_production_flags(${target})
    if(WIN32)
      target_compile_options(${target} PRIVATE -Werror=invalid-pch)
      target_precompile_headers(${target} REUSE_FROM qb480_production_pch)
    endif()
  endforeach()
endfunction()
