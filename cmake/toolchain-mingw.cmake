# Cross toolchain for Windows with MinGW-w64 (posix threads model).
# TALVEX_ARCH selects i686 (the 32-bit product) or x86_64 (the build the
# tests run under Wine on every machine; some kernels cannot execute 32-bit
# Linux programs, so the 32-bit Wine loader cannot run there).
if(NOT DEFINED TALVEX_ARCH)
  set(TALVEX_ARCH i686)
endif()
set(TALVEX_ARCH ${TALVEX_ARCH} CACHE STRING "i686 or x86_64")
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALVEX_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TALVEX_ARCH})
set(_triple ${TALVEX_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_OBJDUMP ${_triple}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
