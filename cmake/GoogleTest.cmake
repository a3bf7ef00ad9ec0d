# GoogleTest is built from Debian's sources (package googletest) so that every
# configuration, the cross builds included, uses the same compiler for it.
set(QB480_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${QB480_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${QB480_GTEST_SOURCE}: run tools/install-deps.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory("${QB480_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# Test code is compiled with -Og: the tests wait for Wine and for dialogs,
# not for their own code, and optimising GoogleTest's templates cost more
# than half of each test source's compile time. A Debug tree (sanitize)
# keeps -O0, cheaper still (clang takes -Og for -O1). The production code
# they test keeps its own flags.
set(QB480_TEST_OPTIONS "$<$<COMPILE_LANGUAGE:CXX>:-Werror=invalid-pch>"
  "$<$<AND:$<COMPILE_LANGUAGE:CXX>,$<NOT:$<CONFIG:Debug>>>:-Og>")
target_compile_options(gtest PRIVATE "${QB480_TEST_OPTIONS}")
target_compile_options(gtest_main PRIVATE "${QB480_TEST_OPTIONS}")

# The Windows test programs spend about half of their compile time in the
# same headers (GoogleTest, the standard library, windows.h): they are
# compiled once per build tree, for every test program and the harness. The
# portable tests get them without windows.h, whose macros (far, near, min,
# max) would break them.
if(WIN32)
  set(QB480_TEST_PCH_HEADERS
    <gtest/gtest.h>
    <algorithm> <atomic> <cstdint> <cstdio> <cstring> <functional> <optional> <string> <thread> <vector>)
  add_library(qb480_test_pch STATIC "${CMAKE_CURRENT_LIST_DIR}/TestPch.cpp")
  target_link_libraries(qb480_test_pch PRIVATE GTest::gtest)
  target_compile_options(qb480_test_pch PRIVATE "${QB480_TEST_OPTIONS}")
  target_precompile_headers(qb480_test_pch PRIVATE ${QB480_TEST_PCH_HEADERS})
  add_library(qb480_windows_test_pch STATIC "${CMAKE_CURRENT_LIST_DIR}/TestPch.cpp")
  target_link_libraries(qb480_windows_test_pch PRIVATE GTest::gtest)
  target_compile_options(qb480_windows_test_pch PRIVATE "${QB480_TEST_OPTIONS}")
  target_precompile_headers(qb480_windows_test_pch PRIVATE <windows.h> ${QB480_TEST_PCH_HEADERS})
endif()

# qb480_test_pch(target...): compiles the targets' C++ sources with those
# headers precompiled, qb480_windows_test_pch(target...) with windows.h too.
# They are included before anything else, so a test must not rely on a
# macro of its own being set before one of them.
function(qb480_test_pch)
  if(TARGET qb480_test_pch)
    foreach(target IN LISTS ARGN)
      target_precompile_headers(${target} REUSE_FROM qb480_test_pch)
    endforeach()
  endif()
endfunction()
function(qb480_windows_test_pch)
  foreach(target IN LISTS ARGN)
    target_precompile_headers(${target} REUSE_FROM qb480_windows_test_pch)
  endforeach()
endfunction()
