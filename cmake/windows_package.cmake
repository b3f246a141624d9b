# The Windows packages (`make windows`): in the build folder, quorvel-VERSION-win64.zip, a folder
# that runs where it is unpacked, and quorvel-VERSION-win64-setup.exe, an NSIS installer of the same
# files. scripts/windows/package.sh installs the build into a staging folder, refuses it when a
# file or a library it needs is missing, and makes both.
find_program(QUORVEL_MAKENSIS makensis REQUIRED)
find_program(QUORVEL_ZIP zip REQUIRED)
set(QUORVEL_WINDOWS_PACKAGE quorvel-${PROJECT_VERSION}-win64)
configure_file(${PROJECT_SOURCE_DIR}/scripts/windows/installer.nsi.in
               ${PROJECT_BINARY_DIR}/installer/quorvel.nsi @ONLY)
add_custom_target(windows_package
    COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP} STRIP=${CMAKE_STRIP}
            MAKENSIS=${QUORVEL_MAKENSIS}
            bash ${PROJECT_SOURCE_DIR}/scripts/windows/package.sh ${PROJECT_BINARY_DIR}
            ${QUORVEL_WINDOWS_PACKAGE} $<BOOL:${QUORVEL_WITH_QT}>
    USES_TERMINAL VERBATIM)
add_dependencies(windows_package quorvel-batch quorvel_windows_runtime quorvel_catalogues)
if(QUORVEL_WITH_QT)
    add_dependencies(windows_package quorvel quorvel-batch-pdf)
endif()
