# The main window with the prompt and text boxes the batches talk through.
add_library(quorvel_window STATIC
    main_window.cpp
    main_window.h
    qt_io.cpp
    qt_io.h
)
target_link_libraries(quorvel_window PUBLIC quorvel_batch quorvel_print Qt6::Widgets)

# The program itself, at the top of the build folder where `make run` looks for it.
add_executable(quorvel main.cpp)
target_link_libraries(quorvel PRIVATE quorvel_window)
set_target_properties(quorvel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
