# The portable core as 32-bit code: i686 Linux with Debian's cross compiler, its tests run
# under user-mode emulation (this kernel runs no 32-bit code itself).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386 -L /usr/i686-linux-gnu)
# The sanitizers' runtimes do not run under qemu-user; the 64-bit host build keeps them.
set(VANTREL_SANITIZE OFF)
