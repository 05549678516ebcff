# Cross-compiling the 32-bit Windows program with Debian's mingw-w64 (i686).
#
# The compilers are named with their thread model: the POSIX model
# (winpthreads) is the one whose libstdc++ has std::mutex in GCC 12; the
# "win32" model lacks it. With -static, winpthreads is linked into the
# executable like the rest of the runtime, so no DLL ships beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KC_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KC_MINGW_PREFIX}-windres)

# Headers and libraries come from the mingw-w64 sysroot only; programs
# (code generators and the like) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
