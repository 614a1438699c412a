# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 in the posix thread model, which Qt's
# threads need. Used to build Qt for Windows; the program itself is built with the toolchain file
# that Qt installs, which loads this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVAR_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TOLVAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVAR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVAR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
