# Cross-compiling for the target board: 32-bit ARM, hard-float ABI, Linux (Debian's
# crossbuild-essential-armhf). On that target `long` is 32 bits and plain `char` is unsigned.
#
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake \
#         -DTARVEX_GTEST_FROM_SOURCE=/usr/src/googletest
#
# Programs and tests built this way run on an x86 host through qemu-arm: ctest and
# gtest_discover_tests start every test binary through CMAKE_CROSSCOMPILING_EMULATOR, and the
# end-to-end tests start the programs under test through the wrappers that
# tarvex_program_under_test (ProgramUnderTest.cmake) generates. No binfmt_misc set-up is needed.
# The default CPU is Debian's armhf baseline (ARMv7-A, VFPv3-D16); add e.g.
# -DCMAKE_CXX_FLAGS="-mcpu=cortex-a7 -mfpu=neon-vfpv4 -Wno-psabi" for a particular board.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(TARVEX_ARMHF_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${TARVEX_ARMHF_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${TARVEX_ARMHF_TRIPLE}-g++)
# GCC notes that the ARM calling convention for some aggregates changed in GCC 7.1; every object
# here is built by one compiler, so the note says nothing about this build.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)

# The target's libraries and headers live under this prefix; never pick up the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVEX_ARMHF_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config (libebur128) reads the target's .pc files, those of Debian's multiarch packages
# (libebur128-dev:armhf), never the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${TARVEX_ARMHF_TRIPLE}/pkgconfig:/usr/share/pkgconfig)

# qemu-arm finds the target's dynamic loader and libc through QEMU_LD_PREFIX; passing it as -L
# here makes the emulator line work even when the variable is not set in the environment.
find_program(TARVEX_QEMU_ARM qemu-arm)
if(TARVEX_QEMU_ARM)
  # The target's own libraries come first, before any multiarch armhf libraries of the host.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEX_QEMU_ARM} -L /usr/${TARVEX_ARMHF_TRIPLE} -E
                                    LD_LIBRARY_PATH=/usr/${TARVEX_ARMHF_TRIPLE}/lib)
endif()
