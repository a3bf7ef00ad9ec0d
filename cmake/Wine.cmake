# Windows builds run their tests under Wine, in a prefix of the build tree's
# own (win32 for i686, win64 for x86_64), made on first use and reused.
set(QB480_WINE_DIR "${CMAKE_SOURCE_DIR}/tests/wine")

# qb480_wine_prefix(name arch runner fixture): the prefix build/<name> of
# that architecture, made by the target <name>; the runner script that runs
# a program in it; and the ctest fixture that keeps one wineserver and the
# desktop keeper alive while its tests run (tests <fixture>_start and
# <fixture>_stop, fixture <FIXTURE>, resource lock <name>).
function(qb480_wine_prefix name arch runner fixture)
  set(QB480_WINEPREFIX "${CMAKE_BINARY_DIR}/${name}")
  configure_file("${QB480_WINE_DIR}/winerun.sh.in" "${CMAKE_BINARY_DIR}/${runner}"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
    @ONLY)
  set(stamp "${QB480_WINEPREFIX}/.qb480-ready")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND "${QB480_WINE_DIR}/mkprefix.sh" "${QB480_WINEPREFIX}" ${arch} "${stamp}"
    DEPENDS "${QB480_WINE_DIR}/mkprefix.sh"
    COMMENT "Creating the ${arch} Wine prefix ${name}"
    VERBATIM)
  add_custom_target(${name} DEPENDS "${stamp}")
  # keepdesktop.exe (tests/harness) holds Wine's desktop process for the run;
  # it is built with the prefix, before any test program.
  add_dependencies(${name} keepdesktop)
  add_test(NAME ${fixture}_start
    COMMAND "${QB480_WINE_DIR}/winefixture.sh" start "${QB480_WINEPREFIX}" "$<TARGET_FILE:keepdesktop>")
  add_test(NAME ${fixture}_stop COMMAND "${QB480_WINE_DIR}/winefixture.sh" stop "${QB480_WINEPREFIX}")
  string(TOUPPER ${fixture} upper)
  set_tests_properties(${fixture}_start PROPERTIES FIXTURES_SETUP ${upper} RESOURCE_LOCK ${name})
  set_tests_properties(${fixture}_stop PROPERTIES FIXTURES_CLEANUP ${upper} RESOURCE_LOCK ${name})
endfunction()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND "${CMAKE_SOURCE_DIR}/tools/wine32-runs.sh"
    RESULT_VARIABLE no_wine32 OUTPUT_VARIABLE why OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(no_wine32)
    # The programs are built; their tests are not registered (./test says so).
    set(QB480_NO_WINE32 "${why}")
    message(STATUS "The i686 tests are not registered: ${why}")
  endif()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  qb480_wine_prefix(wineprefix win64 winerun.sh wine)
elseif(NOT QB480_NO_WINE32)
  qb480_wine_prefix(wineprefix win32 winerun.sh wine)
  # 64-bit Windows runs the 32-bit build through WOW64, with file-system and
  # registry redirection: the i686 build gets a win64 prefix of its own too,
  # for the tests that must see that.
  qb480_wine_prefix(wineprefix64 win64 winerun64.sh wine64)
  set(QB480_WOW64_EMULATOR "${CMAKE_BINARY_DIR}/winerun64.sh")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/winerun.sh")
