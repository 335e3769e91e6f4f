# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread).
# With PELION_QT_WINDOWS set to an unpacked Qt for Windows, the window program is built too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The same program from any build path (link_relative.sh says why).
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/link_relative.sh)
if(PELION_QT_WINDOWS)
    # Qt's packages come from the Windows Qt; its moc, rcc and uic are the host's.
    list(APPEND CMAKE_FIND_ROOT_PATH ${PELION_QT_WINDOWS})
    set(CMAKE_PREFIX_PATH ${PELION_QT_WINDOWS})
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
