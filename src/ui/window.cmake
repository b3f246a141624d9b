# The main window with the prompt and text boxes the batches talk through.
add_library(quorvel_window STATIC
    main_window.cpp
    main_window.h
    qt_io.cpp
    qt_io.h
)
target_link_libraries(quorvel_window PUBLIC quorvel_batch quorvel_print Qt6::Widgets)

# The menu bar above it, and whole files computed by quorvel-batch's engine.
add_library(quorvel_app STATIC
    app_window.cpp
    job_runner.cpp
    datum_dialog.cpp
    datum_dialog_convert.cpp
    datum_heights.cpp
    datum_models.cpp
    export_formats.cpp
    file_compute_dialog.cpp
    file_job.cpp
    measure_dialog.cpp
    point_file_dialog.cpp
    point_map.cpp
    point_preview.cpp
    results_model.cpp
    results_table.cpp
    results_window.cpp
    settings_dialog.cpp
    sheet_dialog.cpp
)
target_link_libraries(quorvel_app PUBLIC quorvel_window quorvel_engine Qt6::Concurrent)
target_compile_definitions(quorvel_app PRIVATE QUORVEL_VERSION="${PROJECT_VERSION}")

# The program itself, at the top of the build folder where `make run` looks for it.
add_executable(quorvel main.cpp)
target_link_libraries(quorvel PRIVATE quorvel_app)
set_target_properties(quorvel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
target_compile_definitions(quorvel PRIVATE QUORVEL_VERSION="${PROJECT_VERSION}")
# The window's icon, the same pictures the desktop's menu shows.
qt_add_resources(quorvel quorvel_icons
    PREFIX /icons
    BASE ${PROJECT_SOURCE_DIR}/data/icons
    FILES ${PROJECT_SOURCE_DIR}/data/icons/quorvel-48.png
          ${PROJECT_SOURCE_DIR}/data/icons/quorvel-128.png
          ${PROJECT_SOURCE_DIR}/data/icons/quorvel-256.png)
if(WIN32)
    # A window program: no console opens beside it.
    set_target_properties(quorvel PROPERTIES WIN32_EXECUTABLE ON)
    quorvel_windows_resources(quorvel "Quorvel Gauss-Krueger calculator")
endif()
install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
