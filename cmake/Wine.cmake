# Windows builds run their tests under Wine, in a prefix of the build tree's
# own (win32 for i686, win64 for x86_64), made on first use and reused.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QB480_WINEARCH win64)
else()
  set(QB480_WINEARCH win32)
endif()
set(QB480_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(QB480_WINE_DIR "${CMAKE_SOURCE_DIR}/tests/wine")

configure_file("${QB480_WINE_DIR}/winerun.sh.in" "${CMAKE_BINARY_DIR}/winerun.sh"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/winerun.sh")

set(QB480_WINEPREFIX_STAMP "${QB480_WINEPREFIX}/.qb480-ready")
add_custom_command(OUTPUT "${QB480_WINEPREFIX_STAMP}"
  COMMAND "${QB480_WINE_DIR}/mkprefix.sh" "${QB480_WINEPREFIX}" ${QB480_WINEARCH} "${QB480_WINEPREFIX_STAMP}"
  DEPENDS "${QB480_WINE_DIR}/mkprefix.sh"
  COMMENT "Creating the ${QB480_WINEARCH} Wine prefix"
  VERBATIM)
add_custom_target(wineprefix DEPENDS "${QB480_WINEPREFIX_STAMP}")

# keepdesktop.exe (tests/harness) holds Wine's desktop process for the run;
# it is built with the prefix, before any test program.
add_dependencies(wineprefix keepdesktop)
add_test(NAME wine_start
  COMMAND "${QB480_WINE_DIR}/winefixture.sh" start "${QB480_WINEPREFIX}" "$<TARGET_FILE:keepdesktop>")
add_test(NAME wine_stop COMMAND "${QB480_WINE_DIR}/winefixture.sh" stop "${QB480_WINEPREFIX}")
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP WINE RESOURCE_LOCK wineprefix)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP WINE RESOURCE_LOCK wineprefix)

# 64-bit Windows runs the 32-bit build through WOW64, with file-system and
# registry redirection: the i686 build gets a win64 prefix of its own too
# (wineprefix64, fixture WINE64), for the tests that must see that.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QB480_WOW64_PREFIX "${CMAKE_BINARY_DIR}/wineprefix64")
  set(QB480_WINEPREFIX_SAVED "${QB480_WINEPREFIX}")
  set(QB480_WINEPREFIX "${QB480_WOW64_PREFIX}")
  configure_file("${QB480_WINE_DIR}/winerun.sh.in" "${CMAKE_BINARY_DIR}/winerun64.sh"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
    @ONLY)
  set(QB480_WINEPREFIX "${QB480_WINEPREFIX_SAVED}")
  set(QB480_WOW64_EMULATOR "${CMAKE_BINARY_DIR}/winerun64.sh")
  set(QB480_WOW64_STAMP "${QB480_WOW64_PREFIX}/.qb480-ready")
  add_custom_command(OUTPUT "${QB480_WOW64_STAMP}"
    COMMAND "${QB480_WINE_DIR}/mkprefix.sh" "${QB480_WOW64_PREFIX}" win64 "${QB480_WOW64_STAMP}"
    DEPENDS "${QB480_WINE_DIR}/mkprefix.sh"
    COMMENT "Creating the win64 Wine prefix for the 32-bit build"
    VERBATIM)
  add_custom_target(wineprefix64 DEPENDS "${QB480_WOW64_STAMP}")
  add_dependencies(wineprefix64 keepdesktop)
  add_test(NAME wine64_start
    COMMAND "${QB480_WINE_DIR}/winefixture.sh" start "${QB480_WOW64_PREFIX}" "$<TARGET_FILE:keepdesktop>")
  add_test(NAME wine64_stop COMMAND "${QB480_WINE_DIR}/winefixture.sh" stop "${QB480_WOW64_PREFIX}")
  set_tests_properties(wine64_start PROPERTIES FIXTURES_SETUP WINE64 RESOURCE_LOCK wineprefix64)
  set_tests_properties(wine64_stop PROPERTIES FIXTURES_CLEANUP WINE64 RESOURCE_LOCK wineprefix64)
endif()
