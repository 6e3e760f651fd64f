# i386 Linux programs from the host's multilib g++, run through qemu-user where the host itself
# runs 64-bit code only: the player's and the tools' 32-bit code (pointers, size_t, SSE2 math)
# under test as the shipped i686 build compiles it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
# qemu-user, not a binfmt registration: the host's settings stay untouched. Programs the tests
# start themselves go through the same emulator (LINKMEND_TOOL_LAUNCHER in tests/).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386)
