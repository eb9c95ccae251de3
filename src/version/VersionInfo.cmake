# The program's version information, in one place: the version block compiled into the
# programs (VersionResource.cpp.in) is made from these values, and so is anything else that
# states the version.
set(NORVALIS_VERSION_LANGUAGE 0411)  # Japanese
set(NORVALIS_VERSION_CODEPAGE 03A4)  # 932
set(NORVALIS_FILE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(NORVALIS_PRODUCT_VERSION 1.0.0.0)
set(NORVALIS_FILE_DESCRIPTION "CSVファイルを検証する")
set(NORVALIS_PRODUCT_NAME Norvalis)
set(NORVALIS_COMPANY Kestrune)
string(REPLACE "." "," NORVALIS_FIXED_VERSION ${NORVALIS_FILE_VERSION})
