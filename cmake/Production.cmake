# qb480_production(target...): the code that ships. It uses no exceptions
# (a C++ library failure ends the program, see framework/SmallRuntime.cpp),
# and in the Windows builds it keeps the library's bounds checks and
# instantiates std::string itself, so unused parts are dropped at link time.
function(qb480_production)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE -fno-exceptions)
    if(WIN32)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # i686 unwinds with tables only exceptions would use; x86_64 keeps
        # its unwind data, which the platform's own unwinding needs.
        target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
      endif()
    endif()
    qb480_coverage(${target})
  endforeach()
endfunction()
