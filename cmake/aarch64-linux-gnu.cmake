# Cross-compiles for 64-bit ARM Linux with Debian's cross compiler, against
# the arm64 libraries installed beside the native ones (multiarch:
# /usr/lib/aarch64-linux-gnu). Tests run under qemu's user-mode emulator,
# with no need for the kernel to know arm64 programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Debian's wrapper looks only in the arm64 .pc files (and the
# architecture-independent ones).
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")
# The static emulator: it also serves as the kernel's interpreter inside an
# arm64 root, where a dynamically linked one would find no x86-64 libraries.
find_program(TARVELMIN_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVELMIN_QEMU_AARCH64})
