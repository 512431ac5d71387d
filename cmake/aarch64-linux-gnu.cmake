# Cross-building KORA for 64-bit ARM Linux (a Raspberry Pi 3 or later with a 64-bit system) with
# Debian's cross compiler against Debian's arm64 Qt packages, installed beside the host's through
# multiarch. The host's moc and rcc serve; the tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(KORA_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${KORA_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KORA_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${KORA_CROSS_TRIPLET})
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64;-L;/usr/${KORA_CROSS_TRIPLET})

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_PREFIX_PATH /usr/lib/${KORA_CROSS_TRIPLET}/cmake)

set(QT_HOST_PATH /usr CACHE PATH "Host Qt with moc and rcc")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt's CMake packages")
