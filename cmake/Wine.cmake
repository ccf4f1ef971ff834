# Test programs run under 64-bit Wine, in a Wine prefix of the build's own.
if(NOT PELLTON_RUN_TESTS)
  return()
endif()
set(PELLTON_WINE64 /usr/lib/wine/wine64 CACHE FILEPATH "64-bit Wine loader")
set(PELLTON_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# Every test runs in one zone with daylight saving, whatever the machine's
# zone: local times are checked against known facts of that zone.
set(PELLTON_TEST_TZ Europe/Berlin)
configure_file(${PROJECT_SOURCE_DIR}/tools/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
set(PELLTON_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)

# The prefix is made once (wineboot takes about ten seconds).
add_custom_command(
  OUTPUT ${PELLTON_WINEPREFIX}/.pellton-ready
  COMMAND ${CMAKE_BINARY_DIR}/wine-run wineboot --init
  COMMAND ${CMAKE_BINARY_DIR}/wine-run wineserver -w
  COMMAND ${CMAKE_COMMAND} -E touch ${PELLTON_WINEPREFIX}/.pellton-ready
  COMMENT "Creating the Wine prefix for the tests"
  VERBATIM)
add_custom_target(wineprefix ALL DEPENDS ${PELLTON_WINEPREFIX}/.pellton-ready)
