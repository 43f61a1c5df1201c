# Builds tesselon and its tests as 32-bit x86 programs (g++-multilib) and
# runs them through qemu-i386 (qemu-user), where the machine runs no 32-bit
# programs itself:
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake \
#         -DGTest_DIR=<a 32-bit GoogleTest>/lib/cmake/GTest
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
# CTest and the tests' own runs of the programs go through the emulator.
find_program(TESSELON_QEMU_I386 qemu-i386)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSELON_QEMU_I386})
