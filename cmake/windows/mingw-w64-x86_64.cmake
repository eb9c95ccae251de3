# Cross-builds the Windows programs on Debian with mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/windows/mingw-w64-x86_64.cmake -DNORVALIS_GUI=OFF
# or, with the window, against the Qt that scripts/windows/build-qt.sh builds:
#     -DCMAKE_TOOLCHAIN_FILE=cmake/windows/mingw-w64-x86_64.cmake -DNORVALIS_QT_PREFIX=<its prefix>
# Test programs run under Wine (wine64) through the cross-compiling emulator, so ctest works.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NORVALIS_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex.
set(CMAKE_C_COMPILER ${NORVALIS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORVALIS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NORVALIS_MINGW_TRIPLET}-windres)

# Nothing of the Linux system may leak in: libraries and headers only from the mingw root (and
# the Qt prefix).
set(CMAKE_FIND_ROOT_PATH /usr/${NORVALIS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NORVALIS_QT_PREFIX)
if(NORVALIS_QT_PREFIX)
  # Qt's DLLs use the C++ runtime DLLs; the programs share them (one runtime for exceptions
  # that pass through Qt), and the installer ships them beside the programs.
  list(APPEND CMAKE_FIND_ROOT_PATH ${NORVALIS_QT_PREFIX})
  list(PREPEND CMAKE_PREFIX_PATH ${NORVALIS_QT_PREFIX})
  # moc, rcc and uic are Debian's host tools of the same version.
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)
else()
  # Self-contained executables: no libstdc++, libgcc or winpthread DLL to ship or to find.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

find_program(NORVALIS_WINE NAMES wine64 wine)
if(NORVALIS_WINE)
  # Through a wrapper that finds the DLLs; the tests are listed when ctest runs, under the Wine
  # server the test script started, not by the build.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/windows/wine-exec.sh)
  if(NORVALIS_QT_PREFIX)
    list(APPEND CMAKE_CROSSCOMPILING_EMULATOR --qt=${NORVALIS_QT_PREFIX})
  endif()
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
