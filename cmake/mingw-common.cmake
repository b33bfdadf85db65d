# Shared by both toolchain files; CORVANE_TRIPLET names the target.
set(CMAKE_C_COMPILER ${CORVANE_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${CORVANE_TRIPLET}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Every test program runs under Wine; the wrapper picks the prefix the test asked for.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
# Nothing but Windows system DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
