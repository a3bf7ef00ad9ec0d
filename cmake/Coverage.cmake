# Coverage measurement (./run coverage, presets coverage-i686, coverage-x86_64 and
# coverage-native): the code that ships gets gcov's counters, unoptimised so
# that every line keeps a count of its own. libgcov is a static archive, so
# the deliverables still import system DLLs only. Off in every other
# configuration.
option(QB480_COVERAGE "Instrument the production code with gcov counters (coverage measurement only)" OFF)

if(QB480_COVERAGE AND WIN32)
  # Writes the counters after the static objects' destructors (see the file).
  add_library(qb480_coverage_dump STATIC "${CMAKE_CURRENT_LIST_DIR}/CoverageDump.c")
endif()

# qb480_coverage(target): called by qb480_production for each production target.
function(qb480_coverage target)
  if(NOT QB480_COVERAGE)
    return()
  endif()
  target_compile_options(${target} PRIVATE --coverage -O0)
  # PUBLIC: whatever links an instrumented library needs libgcov too.
  target_link_options(${target} PUBLIC --coverage)
  if(WIN32)
    target_link_options(${target} PUBLIC -Wl,--wrap=__gcov_exit)
    target_link_libraries(${target} PUBLIC qb480_coverage_dump)
  endif()
endfunction()
