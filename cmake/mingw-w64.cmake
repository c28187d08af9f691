# Cross-compiles for Windows x64 with MinGW-w64's posix thread variant.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-target.cmake)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_DLLTOOL ${triple}-dlltool)
