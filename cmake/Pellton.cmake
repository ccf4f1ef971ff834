# Compiler settings shared by every target, and the helpers that declare
# the project's libraries and test programs.

add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# Everything is linked statically so that each .exe runs on its own.
string(APPEND CMAKE_EXE_LINKER_FLAGS " -static")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static")

function(pellton_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(PELLTON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# pellton_add_library(<name> [DEPS <targets/libs>...] [EXCLUDE <files>...])
# A static library of every .cpp/.c file in the calling folder but the
# excluded ones.
function(pellton_add_library name)
  cmake_parse_arguments(A "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(_x ${A_EXCLUDE})
    list(REMOVE_ITEM _srcs ${CMAKE_CURRENT_SOURCE_DIR}/${_x})
  endforeach()
  if(NOT _srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  pellton_warnings(${name})
endfunction()

# pellton_add_test(<name> SOURCES <files>... [LIBS <targets>...] [NO_MAIN] [DESKTOP])
# A GoogleTest program with the shared test helpers (tests/common),
# registered with CTest (run under Wine) when the build can run it.
# DESKTOP: the program shows windows that become active; see pellton_desktop_test.
function(pellton_add_test name)
  cmake_parse_arguments(A "NO_MAIN;DESKTOP" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} pellton_test_common gtest)
  if(NOT A_NO_MAIN)
    target_link_libraries(${name} PRIVATE gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  pellton_warnings(${name})
  if(PELLTON_RUN_TESTS)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    # A hang fails the test instead of holding up the whole run.
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
    if(TARGET wineprefix)
      add_dependencies(${name} wineprefix)
    endif()
    if(A_DESKTOP)
      pellton_desktop_test(${name})
    endif()
  endif()
endfunction()

# Test programs whose windows become active take turns. All Wine processes
# of a run share one foreground window: a window shown by one program
# deactivates another's, and its focus comes back where it was when that
# window is active again, in the middle of the other test's keys.
function(pellton_desktop_test name)
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
endfunction()
