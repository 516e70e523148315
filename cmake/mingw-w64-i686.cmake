# Cross build of the Windows edition: 32-bit Windows (the Access ODBC driver that ships with
# Windows is 32-bit only), with the posix-threads mingw-w64 compilers of Debian.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KW_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KW_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KW_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KW_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KW_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
