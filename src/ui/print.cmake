# The printer surface: the report drawn with QPainter on a printer or a PDF file.
add_library(quorvel_print STATIC report_printer.cpp)
target_link_libraries(quorvel_print PUBLIC quorvel_report quorvel_fonts Qt6::PrintSupport
                                           Qt6::Widgets)
