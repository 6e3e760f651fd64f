# Compiler settings shared by every target.
#
# The player's arithmetic must give the same bits on every build: IEEE single and double
# precision through SSE2 (never x87, whose extended precision changes roundings), no fast-math,
# and no fused multiply-add contraction.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "i686|i386|x86$")
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
endif()

# 64-bit file offsets on 32-bit Linux too: the file stand-ins and the tools open and write files
# past 2 GiB there as on Windows (a 6-hour render is a 4 GB WAV).
if(NOT WIN32)
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501
                          WINVER=0x0501 _WIN32_IE=0x0600)
  # The C and C++ runtimes are linked in, so the programs need only system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Reproducible programs: the same sources give the same bytes in any folder at any time, so
  # anyone can rebuild a release and compare. No link time stamp (the PE checksum then follows),
  # and no source or build folder in anything the compiler writes.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endif()

set(LINKMEND_SANITIZE "" CACHE STRING "Sanitizers for the native build: address, thread")
if(LINKMEND_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(LINKMEND_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Product code: no exceptions or RTTI, so the shipped programs stay small. The shipped i686 build
# also drops unwind tables, which nothing needs without exceptions (x86_64 keeps its tables,
# which Windows uses to walk the stack).
function(linkmend_product_target target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  if(WIN32 AND CMAKE_SYSTEM_PROCESSOR MATCHES "i686")
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
endfunction()

# Windows programs run under Wine through the build tree's own harness.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/cmake/wine-run.sh;${CMAKE_BINARY_DIR}")
endif()
