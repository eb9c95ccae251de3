# What the program carries besides its code: the version block, the program icon and the help
# pages beside the executable in the build tree.

# The version block the About box reads.
set(NORVALIS_VERSION_LANGUAGE 0411)  # Japanese
set(NORVALIS_VERSION_CODEPAGE 03A4)  # 932
set(NORVALIS_FILE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(NORVALIS_PRODUCT_VERSION 1.0.0.0)
set(NORVALIS_FILE_DESCRIPTION "CSVファイルを検証する")
set(NORVALIS_PRODUCT_NAME Norvalis)
set(NORVALIS_COMPANY Kestrune)
string(REPLACE "." "," NORVALIS_FIXED_VERSION ${NORVALIS_FILE_VERSION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/VersionResource.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/VersionResource.cpp @ONLY)

set(NORVALIS_VERSION_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/VersionResource.cpp)
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
