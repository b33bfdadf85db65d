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

# The shared prefix of KIND, in folder KIND below the prefix root: a CTest fixture whose setup
# copies a pristine prefix and starts its Wine session, kept from the first test to the last
# (its cleanup ends it). A test with a prefix of its own needs no copy made ahead:
# tools/prefix.sh run makes it when the test starts and deletes it when the test ends, so that
# copies exist only while their tests run; such tests require the fixture corvane_own_prefixes,
# whose cleanup removes what a test ended by its timeout left.
#
# Every test but the fixtures' own is thus required by a cleanup: CTest orders tests by COST only
# among tests at the same depth of the fixture graph, and the long tests must start first.
function(corvane_define_prefixes)
  add_test(NAME prefix_own_prefixes_cleanup
           COMMAND "${CORVANE_TOOLS}/prefix.sh" sweep "${CORVANE_PREFIX_ROOT}" ${CORVANE_PREFIX_KINDS})
  set_tests_properties(prefix_own_prefixes_cleanup PROPERTIES
                       FIXTURES_CLEANUP corvane_own_prefixes)
  foreach(kind ${CORVANE_PREFIX_KINDS})
    set(path "${CORVANE_PREFIX_ROOT}/${kind}")
    add_test(NAME prefix_${kind}_setup
             COMMAND "${CORVANE_TOOLS}/prefix.sh" share "${path}" ${kind})
    add_test(NAME prefix_${kind}_cleanup COMMAND "${CORVANE_TOOLS}/prefix.sh" kill "${path}")
    set_tests_properties(prefix_${kind}_setup PROPERTIES FIXTURES_SETUP prefix_${kind})
    set_tests_properties(prefix_${kind}_cleanup PROPERTIES FIXTURES_CLEANUP prefix_${kind})
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
# state (HKLM, services, C:\ProgramData, other processes): each runs on a machine of its own, a
# fresh prefix with a Wine session of its own, and so beside other tests without seeing them or
# being seen. PRIVATE_PREFIX gives any other test a fresh prefix of its own too (a test that must
# see a machine no other test has touched). Tests in the shared prefix of a kind run side by side
# in its one session.
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
    set(command ${A_COMMAND})
    if(A_PRIVATE_PREFIX OR A_SERIAL)
      set(dir ${name}_${kind})
      # The emulator is named here, as CTest adds it only to a command that starts with a target.
      list(GET command 0 program)
      if(TARGET ${program})
        list(POP_FRONT command)
        list(PREPEND command "${CORVANE_TOOLS}/wine-run" "$<TARGET_FILE:${program}>")
      endif()
      list(PREPEND command "${CORVANE_TOOLS}/prefix.sh" run "${CORVANE_PREFIX_ROOT}/${dir}" ${kind})
    endif()
    add_test(NAME ${name}_${kind} COMMAND ${command})
    corvane_test_environment(env ${kind} ${dir})
    if(A_SERIAL)
      # Every program the test starts from Linux begins and ends a session (tools/wine-run), so
      # a Wine process that hangs stays inside the test that started it.
      list(APPEND env "CORVANE_OWN_SESSION=1")
    endif()
    set_tests_properties(${name}_${kind} PROPERTIES ENVIRONMENT "${env}" LABELS "${kind}")
    if(A_PRIVATE_PREFIX OR A_SERIAL)
      set_tests_properties(${name}_${kind} PROPERTIES FIXTURES_REQUIRED corvane_own_prefixes)
    else()
      set_tests_properties(${name}_${kind} PROPERTIES FIXTURES_REQUIRED prefix_${kind})
    endif()
    if(A_TIMEOUT)
      # The long tests start first (CTest starts the costliest ready test first), so that the
      # run does not end with a long test started late.
      set_tests_properties(${name}_${kind} PROPERTIES TIMEOUT ${A_TIMEOUT} COST ${A_TIMEOUT})
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
