# The Windows build's folders and program resources. Included before GNUInstallDirs: everything is
# installed into one folder (the installer's and the zip's), the programs at its top, so a
# program's own folder is where it finds its libraries, quorvel-batch-pdf, Qt's plugins and the
# catalogue (locale/zh_CN/LC_MESSAGES beside the programs, the first place src/core looks).
if(NOT QUORVEL_WIN_PREFIX OR NOT EXISTS "${QUORVEL_WIN_PREFIX}/lib/pkgconfig")
    message(FATAL_ERROR "The Windows build needs the libraries scripts/windows/build-deps.sh "
                        "builds: set QUORVEL_WIN_PREFIX to their folder (CACHE/prefix) at the "
                        "first configure (`make windows` does all of it)")
endif()

set(CMAKE_INSTALL_BINDIR .)
set(CMAKE_INSTALL_LIBEXECDIR .)
set(CMAKE_INSTALL_LIBDIR .)
set(CMAKE_INSTALL_LOCALEDIR locale)
set(CMAKE_INSTALL_DOCDIR .)

enable_language(RC)
# The icon Explorer, the Start menu and the taskbar show, made from the PNGs the Linux menu uses.
find_program(QUORVEL_CONVERT convert REQUIRED)
set(QUORVEL_WINDOWS_ICON ${PROJECT_BINARY_DIR}/quorvel.ico)
add_custom_command(OUTPUT ${QUORVEL_WINDOWS_ICON}
    COMMAND ${QUORVEL_CONVERT} ${PROJECT_SOURCE_DIR}/data/icons/quorvel-256.png
            -define icon:auto-resize=256,128,48,32,16 ${QUORVEL_WINDOWS_ICON}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/icons/quorvel-256.png
    VERBATIM)
add_custom_target(quorvel_windows_icon DEPENDS ${QUORVEL_WINDOWS_ICON})

# Gives a program the icon and the version information Explorer's properties show.
function(quorvel_windows_resources target description)
    set(QUORVEL_RC_NAME ${target})
    set(QUORVEL_RC_DESCRIPTION "${description}")
    set(rc ${PROJECT_BINARY_DIR}/resources/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows_program.rc.in ${rc} @ONLY)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${QUORVEL_WINDOWS_ICON})
    target_sources(${target} PRIVATE ${rc})
    add_dependencies(${target} quorvel_windows_icon)
endfunction()
