# Cross-building KORA for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
# Qt for the target comes through CMAKE_PREFIX_PATH; its host tools (moc, rcc) are Debian's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(QT_HOST_PATH /usr CACHE PATH "Host Qt with moc and rcc")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt's CMake packages")
