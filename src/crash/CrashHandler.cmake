# norvalis_add_crash_handler(target [REPORT_ONLY] [AUTO_LOG] [MAIL address] [PROGRAM name]
#                            [VERSION version])
# Links the crash handler into target and compiles its crash options block into it: by default
# the dialog with every button and no mail address; REPORT_ONLY writes the report to standard
# error and the log folder without a dialog.
set(NORVALIS_CRASH_DIR ${CMAKE_CURRENT_LIST_DIR})

function(norvalis_add_crash_handler target)
  # The sanitizers own the fatal signals and take over pthread_create themselves.
  if(NORVALIS_SANITIZE OR NORVALIS_FUZZ)
    return()
  endif()
  cmake_parse_arguments(CRASH "REPORT_ONLY;AUTO_LOG" "MAIL;PROGRAM;VERSION" "" ${ARGN})
  set(NORVALIS_CRASH_TARGET ${target})
  set(NORVALIS_CRASH_MAIL "${CRASH_MAIL}")
  set(NORVALIS_CRASH_PROGRAM Norvalis)
  if(CRASH_PROGRAM)
    set(NORVALIS_CRASH_PROGRAM "${CRASH_PROGRAM}")
  endif()
  set(NORVALIS_CRASH_VERSION
      ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  if(CRASH_VERSION)
    set(NORVALIS_CRASH_VERSION "${CRASH_VERSION}")
  endif()
  if(CRASH_REPORT_ONLY)
    set(button false)
    set(NORVALIS_CRASH_DIALOG false)
    set(NORVALIS_CRASH_AUTO_LOG true)
  else()
    set(button true)
    set(NORVALIS_CRASH_DIALOG true)
    set(NORVALIS_CRASH_AUTO_LOG false)
  endif()
  if(CRASH_AUTO_LOG)
    set(NORVALIS_CRASH_AUTO_LOG true)
  endif()
  foreach(name COPY SCREENSHOT LOG SEND RESTART)
    set(NORVALIS_CRASH_${name} ${button})
  endforeach()
  set(options ${CMAKE_CURRENT_BINARY_DIR}/${target}_CrashOptions.cpp)
  configure_file(${NORVALIS_CRASH_DIR}/CrashOptions.cpp.in ${options} @ONLY)
  target_sources(${target} PRIVATE ${options})
  target_link_libraries(${target} PRIVATE norvalis_crash)
  if(WIN32)
    # "<program>.sym" beside the program: its functions' names for the helper's stacks.
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOBJDUMP=${CMAKE_OBJDUMP}
              -DPROGRAM=$<TARGET_FILE:${target}>
              -DOUTPUT=$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.sym
              -P ${NORVALIS_CRASH_DIR}/SymbolList.cmake
      VERBATIM)
  else()
    # Shared libraries (Qt, libstdc++) must start their threads through the handler's hook.
    target_link_options(${target} PRIVATE -Wl,--export-dynamic-symbol=pthread_create)
  endif()
  if(NORVALIS_GUI OR WIN32)
    add_dependencies(${target} norvalis-crash)
  endif()
endfunction()
