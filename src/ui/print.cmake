# The printer surface: the report drawn with QPainter on a printer or a PDF file.
add_library(quorvel_print STATIC report_printer.cpp)
target_link_libraries(quorvel_print PUBLIC quorvel_report quorvel_fonts Qt6::PrintSupport
                                           Qt6::Widgets)

# What the print scheduler says about a queue and a job (libcups, no Qt).
find_package(Cups REQUIRED)
add_library(quorvel_cups STATIC ../print/cups_queue.cpp)
target_include_directories(quorvel_cups PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quorvel_cups PUBLIC Cups::Cups)
target_link_libraries(quorvel_print PRIVATE quorvel_cups)
