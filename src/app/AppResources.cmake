# What the window carries besides its code: the program icon and the help pages beside the
# executable in the build tree. The version block is src/version's.

set(NORVALIS_APP_RESOURCES ${CMAKE_CURRENT_LIST_DIR}/norvalis.qrc)

# The help pages, copied next to the executable so the build tree runs like an installation.
file(GLOB NORVALIS_HELP_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/help/*)
set(NORVALIS_HELP_COPIES)
foreach(page ${NORVALIS_HELP_PAGES})
  get_filename_component(name ${page} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/help/${name})
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page} ${copy}
    DEPENDS ${page} VERBATIM)
  list(APPEND NORVALIS_HELP_COPIES ${copy})
endforeach()
add_custom_target(norvalis_help ALL DEPENDS ${NORVALIS_HELP_COPIES})
