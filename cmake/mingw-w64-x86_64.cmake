# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix-thread compilers, which
# std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# The folder of the libraries built for Windows (scripts/windows/build-deps.sh) is searched too.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $ENV{QUORVEL_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config answers for the Windows libraries only (GeographicLib's .pc).
set(ENV{PKG_CONFIG_LIBDIR} "$ENV{QUORVEL_WIN_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# Eigen is headers only: the host's serve.
set(Eigen3_DIR /usr/share/eigen3/cmake CACHE PATH "")
