# Installation layout (GNUInstallDirs): both programs in bin/, the shipped data below
# share/. The editor is told where an installation puts its binary and data folders, so it can
# tell an installed run (files in the per-user data folder) from a build-tree or portable run
# (files beside the program).
include(GNUInstallDirs)

file(RELATIVE_PATH LINOVEX_BIN_TO_DATADIR
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/linovex)
target_compile_definitions(linovex_app_ui PRIVATE
    LINOVEX_INSTALL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}"
    LINOVEX_INSTALL_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}/linovex"
    LINOVEX_BIN_TO_DATADIR="${LINOVEX_BIN_TO_DATADIR}")

add_subdirectory(${PROJECT_SOURCE_DIR}/src/i18n/tools ${PROJECT_BINARY_DIR}/src/i18n/tools)
add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)
