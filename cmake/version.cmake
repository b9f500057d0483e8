# The release every program reports with --version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/bios_tools_version.h.in
               ${PROJECT_BINARY_DIR}/generated/bios_tools_version.h @ONLY)
add_library(bios_version INTERFACE)
target_include_directories(bios_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
