# The release's version (file VERSION, read by the top-level CMakeLists.txt) and the commit it
# is built from, as one generated header for the version resources and Purgeline's log.
#
# The header is written at build time, so a new commit or a change to the working tree is seen
# without running CMake again; it is rewritten only when its text changes, so a build of an
# unchanged tree recompiles nothing. The commit is the full hash of HEAD, followed by "-dirty"
# when tracked files differ from it, or "unknown" where there is no git or no repository.

set(CORVANE_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
set(CORVANE_VERSION_HEADER "${CORVANE_GENERATED_DIR}/corvane_version.h")
set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${CMAKE_SOURCE_DIR}/VERSION")

find_program(CORVANE_GIT git)
add_custom_target(corvane_version_header
  COMMAND "${CMAKE_COMMAND}"
          "-DSOURCE_DIR=${CMAKE_SOURCE_DIR}" "-DOUTPUT=${CORVANE_VERSION_HEADER}"
          "-DGIT=${CORVANE_GIT}" "-DVERSION=${PROJECT_VERSION}"
          -P "${CMAKE_SOURCE_DIR}/cmake/version_header.cmake"
  BYPRODUCTS "${CORVANE_VERSION_HEADER}"
  COMMENT "Version header"
  VERBATIM)

add_library(corvane_version INTERFACE)
target_include_directories(corvane_version INTERFACE "${CORVANE_GENERATED_DIR}")
add_dependencies(corvane_version corvane_version_header)

# corvane_use_version(target [RC_SOURCE file.rc]): the target includes corvane_version.h; its
# resource script (windres reports no header dependencies) is recompiled when the header changes.
# Call it in the folder that creates the target.
function(corvane_use_version target)
  cmake_parse_arguments(A "" "RC_SOURCE" "" ${ARGN})
  target_link_libraries(${target} PRIVATE corvane_version)
  if(A_RC_SOURCE)
    set_source_files_properties(${A_RC_SOURCE} PROPERTIES OBJECT_DEPENDS "${CORVANE_VERSION_HEADER}")
  endif()
endfunction()
