# Two builds of one commit give the same bytes, wherever and whenever they are made:
# - the linker writes no time stamp into the PE header, nor into the resource directory it
#   fills from the same value;
# - no folder of the build machine reaches a binary: every path the compiler embeds (__FILE__
#   in asserts and exceptions, debug information) is made relative to the folder it lies in.
add_link_options(LINKER:--no-insert-timestamp)

# corvane_map_build_path(folder name): paths below FOLDER are embedded as NAME/... . Later calls
# win over earlier ones, so a folder inside another one is mapped after it.
function(corvane_map_build_path folder name)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${folder}=${name}>")
endfunction()

corvane_map_build_path("${CMAKE_SOURCE_DIR}" ".")
corvane_map_build_path("${CMAKE_BINARY_DIR}" "build")
