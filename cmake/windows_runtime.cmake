# What the programs need at run time on a PC that has none of it: the MinGW runtime and, in a build
# with Qt, Qt's libraries, plugins and Chinese translations with a qt.conf that points Qt to them.
# All of it is installed beside the programs and copied into the build folder, so the programs run
# from there as well (under Wine too).

# libstdc++, libgcc and winpthread as the compiler links them (the posix-thread runtime).
set(QUORVEL_WINDOWS_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no runtime library ${dll}")
    endif()
    get_filename_component(path "${path}" REALPATH)
    list(APPEND QUORVEL_WINDOWS_DLLS ${path})
endforeach()

set(copies
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QUORVEL_WINDOWS_DLLS} ${PROJECT_BINARY_DIR})
install(FILES ${QUORVEL_WINDOWS_DLLS} DESTINATION .)

if(QUORVEL_WITH_QT)
    set(modules Core Gui Widgets PrintSupport Concurrent)
    find_package(Qt6 REQUIRED COMPONENTS ${modules})
    set(qt_dlls)
    foreach(module IN LISTS modules)
        list(APPEND qt_dlls $<TARGET_FILE:Qt6::${module}>)
    endforeach()
    # The platform plugin the window cannot open without, the one quorvel-batch-pdf draws on
    # (src/cli/pdf_qt.cpp asks for offscreen), and the style of today's Windows.
    set(plugins platforms:QWindowsIntegrationPlugin platforms:QOffscreenIntegrationPlugin
                styles:QWindowsVistaStylePlugin)
    list(APPEND copies
         COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_dlls} ${PROJECT_BINARY_DIR})
    install(FILES ${qt_dlls} DESTINATION .)
    foreach(plugin IN LISTS plugins)
        string(REPLACE ":" ";" plugin ${plugin})
        list(GET plugin 0 folder)
        list(GET plugin 1 name)
        if(NOT TARGET Qt6::${name})
            message(FATAL_ERROR "Qt for Windows has no ${name}: it is needed in ${folder}/")
        endif()
        list(APPEND copies
             COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/${folder}
             COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${name}>
                     ${PROJECT_BINARY_DIR}/${folder})
        install(FILES $<TARGET_FILE:Qt6::${name}> DESTINATION ${folder})
    endforeach()

    # Qt's dialogs in Chinese: Debian's translations are the same files on every system.
    find_file(QUORVEL_QTBASE_ZH qtbase_zh_CN.qm PATHS /usr/share/qt6/translations
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    list(APPEND copies
         COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/translations
         COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QUORVEL_QTBASE_ZH}
                 ${PROJECT_BINARY_DIR}/translations)
    install(FILES ${QUORVEL_QTBASE_ZH} DESTINATION translations)

    # Paths relative to the programs' folder (Qt reads qt.conf from there).
    file(WRITE ${PROJECT_BINARY_DIR}/qt.conf
         "[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n")
    install(FILES ${PROJECT_BINARY_DIR}/qt.conf DESTINATION .)
endif()

add_custom_target(quorvel_windows_runtime ALL ${copies} VERBATIM)
