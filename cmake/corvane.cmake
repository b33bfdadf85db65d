# Helpers for our own targets: warning flags, libraries, test programs and the Wine prefixes
# the tests run in.

set(CORVANE_TOOLS "${CMAKE_SOURCE_DIR}/tools")
set(CORVANE_PREFIX_ROOT "${CMAKE_BINARY_DIR}/prefixes")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  set(CORVANE_BITS 32)
  set(CORVANE_PREFIX_KINDS win64 win32)
else()
  set(CORVANE_BITS 64)
  set(CORVANE_PREFIX_KINDS win64)
endif()

# Flags of our own code (not of Boost or GoogleTest).
function(corvane_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  target_compile_definitions(${target} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}")
endfunction()

# corvane_add_library(name SOURCES ... [LIBS ...])
function(corvane_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  corvane_flags(${name})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# CTest fixture FIXTURE: its setup copies a pristine prefix of KIND to folder DIR below the prefix
# root, its cleanup ends that prefix's wineserver so that a test run leaves none behind.
function(corvane_define_prefix fixture kind dir)
  add_test(NAME ${fixture}_setup
           COMMAND "${CORVANE_TOOLS}/prefix.sh" create "${CORVANE_PREFIX_ROOT}/${dir}" ${kind})
  set_tests_properties(${fixture}_setup PROPERTIES FIXTURES_SETUP ${fixture} RUN_SERIAL TRUE)
  add_test(NAME ${fixture}_cleanup
           COMMAND "${CORVANE_TOOLS}/prefix.sh" kill "${CORVANE_PREFIX_ROOT}/${dir}")
  set_tests_properties(${fixture}_cleanup PROPERTIES FIXTURES_CLEANUP ${fixture} RUN_SERIAL TRUE)
endfunction()

# The shared prefixes: one per kind.
function(corvane_define_prefixes)
  foreach(kind ${CORVANE_PREFIX_KINDS})
    corvane_define_prefix(prefix_${kind} ${kind} ${kind})
  endforeach()
endfunction()

# Environment of a test that runs in prefix KIND (held in folder DIR below the prefix root).
function(corvane_test_environment out kind dir)
  set(${out}
      "WINEPREFIX=${CORVANE_PREFIX_ROOT}/${dir}"
      "WINEDEBUG=-all"
      "WINEDLLOVERRIDES=mscoree,mshtml="
      "CORVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
      "CORVANE_BINARY_DIR=${CMAKE_BINARY_DIR}"
      "CORVANE_PREFIX_KIND=${kind}"
      PARENT_SCOPE)
endfunction()

# corvane_register_test(name COMMAND ... PREFIXES win64 [win32] [SERIAL] [PRIVATE_PREFIX]
#                       [TIMEOUT s])
# Adds one CTest test per prefix kind (name_kind). SERIAL marks tests that change machine-wide
# state (HKLM, services, C:\ProgramData, other processes): they never run beside another test.
# PRIVATE_PREFIX gives the test a fresh prefix of its own instead of the shared one.
function(corvane_register_test name)
  cmake_parse_arguments(A "SERIAL;PRIVATE_PREFIX" "TIMEOUT" "COMMAND;PREFIXES" ${ARGN})
  if(NOT A_PREFIXES)
    set(A_PREFIXES win64)
  endif()
  foreach(kind ${A_PREFIXES})
    if(NOT kind IN_LIST CORVANE_PREFIX_KINDS)
      continue()
    endif()
    set(dir ${kind})
    set(fixture prefix_${kind})
    if(A_PRIVATE_PREFIX)
      # A fresh prefix of the test's own, for a test that must see a machine no other test has
      # touched (it compares everything a machine-wide scan finds).
      set(dir ${name}_${kind})
      set(fixture prefix_${name}_${kind})
      corvane_define_prefix(${fixture} ${kind} ${dir})
    endif()
    add_test(NAME ${name}_${kind} COMMAND ${A_COMMAND})
    corvane_test_environment(env ${kind} ${dir})
    if(A_SERIAL)
      # Runs alone, so it can have a Wine session of its own (tools/wine-run).
      list(APPEND env "CORVANE_OWN_SESSION=1")
      set_tests_properties(${name}_${kind} PROPERTIES RUN_SERIAL TRUE)
    endif()
    set_tests_properties(${name}_${kind} PROPERTIES
      ENVIRONMENT "${env}"
      FIXTURES_REQUIRED ${fixture}
      LABELS "${kind}")
    if(A_TIMEOUT)
      set_tests_properties(${name}_${kind} PROPERTIES TIMEOUT ${A_TIMEOUT})
    endif()
  endforeach()
endfunction()

# corvane_add_gtest(name SOURCES ... [LIBS ...] [PREFIXES win64 win32] [SERIAL] [PRIVATE_PREFIX]
#                   [TIMEOUT s])
# A GoogleTest program run under Wine, once per prefix kind.
function(corvane_add_gtest name)
  cmake_parse_arguments(A "SERIAL;PRIVATE_PREFIX" "TIMEOUT" "SOURCES;LIBS;PREFIXES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  corvane_flags(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gtest gtest_main)
  set(extra "")
  if(A_SERIAL)
    list(APPEND extra SERIAL)
  endif()
  if(A_PRIVATE_PREFIX)
    list(APPEND extra PRIVATE_PREFIX)
  endif()
  if(A_TIMEOUT)
    list(APPEND extra TIMEOUT ${A_TIMEOUT})
  endif()
  corvane_register_test(${name} COMMAND ${name} PREFIXES ${A_PREFIXES} ${extra})
endfunction()

# corvane_add_helper(name SOURCES ... [LIBS ...] [GUI]): a test-only helper program.
function(corvane_add_helper name)
  cmake_parse_arguments(A "GUI" "" "SOURCES;LIBS" ${ARGN})
  if(A_GUI)
    add_executable(${name} WIN32 ${A_SOURCES})
  else()
    add_executable(${name} ${A_SOURCES})
  endif()
  corvane_flags(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
endfunction()
