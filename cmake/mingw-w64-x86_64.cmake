# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix-thread compilers, which
# std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# The folder of the libraries built for Windows (scripts/windows/build-deps.sh), from the
# environment at the first configure and kept in the cache, so a later re-run of CMake (by the
# build tool) finds it without the variable.
if(NOT QUORVEL_WIN_PREFIX AND DEFINED ENV{QUORVEL_WIN_PREFIX})
    set(QUORVEL_WIN_PREFIX "$ENV{QUORVEL_WIN_PREFIX}" CACHE PATH
        "The libraries built for Windows (scripts/windows/build-deps.sh)")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_WIN_PREFIX)
# Those libraries are searched too; Qt has its own folder there.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QUORVEL_WIN_PREFIX} ${QUORVEL_WIN_PREFIX}/qt)
list(APPEND CMAKE_PREFIX_PATH ${QUORVEL_WIN_PREFIX}/qt)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config answers for the Windows libraries only (GeographicLib's .pc).
set(ENV{PKG_CONFIG_LIBDIR} "${QUORVEL_WIN_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# Eigen is headers only: the host's serve.
set(Eigen3_DIR /usr/share/eigen3/cmake CACHE PATH "")
# Qt for Windows runs the host's moc, rcc and uic (qt6-base-dev-tools).
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
