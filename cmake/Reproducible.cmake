# A release that anyone can rebuild bit for bit from the same commit
# (QB480_REPRODUCIBLE, on in the release presets): no build folder in the
# binaries, and the programs' time stamps (PE header, export directory) are
# the commit's time (tools/source-date-epoch.sh), which ld takes from
# SOURCE_DATE_EPOCH. The linker is started through `cmake -E env` so that
# a new commit's time is in the link command and relinks the programs.
option(QB480_REPRODUCIBLE "Build the same bytes from the same commit, in any folder, at any time" OFF)

if(QB480_REPRODUCIBLE)
  execute_process(COMMAND "${PROJECT_SOURCE_DIR}/tools/source-date-epoch.sh"
                  OUTPUT_VARIABLE QB480_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  # tools/pack-release.sh stamps the zips and packages with the same time.
  file(WRITE "${PROJECT_BINARY_DIR}/source-date-epoch" "${QB480_SOURCE_DATE_EPOCH}\n")
  message(STATUS "Time stamps of the release: ${QB480_SOURCE_DATE_EPOCH} (seconds since 1970)")
  foreach(lang C CXX)
    set(CMAKE_${lang}_LINKER_LAUNCHER "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${QB480_SOURCE_DATE_EPOCH}")
  endforeach()
  # The resource compiler takes no such flags.
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
endif()
