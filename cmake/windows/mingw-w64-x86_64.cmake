# Cross-builds the Windows programs on Debian with mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/windows/mingw-w64-x86_64.cmake -DNORVALIS_GUI=OFF
# Test programs run under Wine (wine64) through the cross-compiling emulator, so ctest works.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NORVALIS_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex.
set(CMAKE_C_COMPILER ${NORVALIS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORVALIS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NORVALIS_MINGW_TRIPLET}-windres)

# Nothing of the Linux system may leak in: libraries and headers only from the mingw root.
set(CMAKE_FIND_ROOT_PATH /usr/${NORVALIS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libstdc++, libgcc or winpthread DLL to ship or to find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(NORVALIS_WINE NAMES wine64 wine)
if(NORVALIS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORVALIS_WINE})
endif()
