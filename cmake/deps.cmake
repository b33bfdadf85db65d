# Third-party code, compiled for the current MinGW target: GoogleTest from Debian's sources,
# Boost.Filesystem and Boost.Serialization from Debian's boost1.74 source package (fetched by
# tools/bootstrap.sh). None of it is built with our warning flags.

set(CORVANE_DEPS_DIR "${CMAKE_SOURCE_DIR}/.deps" CACHE PATH "Folder holding the fetched Boost sources")
set(CORVANE_BOOST_SRC "${CORVANE_DEPS_DIR}/boost-src")
corvane_map_build_path("${CORVANE_DEPS_DIR}" "deps")
if(NOT EXISTS "${CORVANE_BOOST_SRC}/libs/filesystem/src")
  message(FATAL_ERROR "Boost sources missing in ${CORVANE_BOOST_SRC}: run tools/bootstrap.sh")
endif()

# MinGW sees only Boost from the host's include folder, never the rest of it.
set(CORVANE_BOOST_INCLUDE "${CMAKE_BINARY_DIR}/boost-include")
file(MAKE_DIRECTORY "${CORVANE_BOOST_INCLUDE}")
file(CREATE_LINK /usr/include/boost "${CORVANE_BOOST_INCLUDE}/boost" SYMBOLIC)

file(GLOB corvane_boost_fs_sources "${CORVANE_BOOST_SRC}/libs/filesystem/src/*.cpp")
add_library(boost_filesystem STATIC ${corvane_boost_fs_sources})
target_include_directories(boost_filesystem SYSTEM PUBLIC "${CORVANE_BOOST_INCLUDE}")
target_compile_definitions(boost_filesystem
  PRIVATE BOOST_FILESYSTEM_SOURCE
  PUBLIC BOOST_FILESYSTEM_STATIC_LINK BOOST_ALL_NO_LIB BOOST_FILESYSTEM_NO_DEPRECATED)
target_link_libraries(boost_filesystem PUBLIC advapi32)

file(GLOB corvane_boost_ser_sources "${CORVANE_BOOST_SRC}/libs/serialization/src/*.cpp")
add_library(boost_serialization STATIC ${corvane_boost_ser_sources})
target_include_directories(boost_serialization SYSTEM PUBLIC "${CORVANE_BOOST_INCLUDE}")
target_compile_definitions(boost_serialization
  PRIVATE BOOST_SERIALIZATION_SOURCE BOOST_ARCHIVE_SOURCE BOOST_WARCHIVE_SOURCE
  PUBLIC BOOST_ALL_NO_LIB BOOST_SERIALIZATION_STATIC_LINK)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
