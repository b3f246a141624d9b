# Tests of the printer surface: PDF output, the no-printer fallback and a real print queue.
set(QUORVEL_PRINT_TEST_RUNTIME ${CMAKE_CURRENT_BINARY_DIR}/print-runtime)
file(MAKE_DIRECTORY ${QUORVEL_PRINT_TEST_RUNTIME})
file(CHMOD ${QUORVEL_PRINT_TEST_RUNTIME} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(QUORVEL_PRINT_TEST_ENV
    QT_QPA_PLATFORM=offscreen
    XDG_RUNTIME_DIR=${QUORVEL_PRINT_TEST_RUNTIME})

add_executable(print_tests print_test.cpp print_test_main.cpp)
target_link_libraries(print_tests PRIVATE quorvel_print GTest::gtest)
target_include_directories(print_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# No scheduler listens on this socket: the program sees no printer at all.
gtest_discover_tests(print_tests PROPERTIES ENVIRONMENT
    "${QUORVEL_PRINT_TEST_ENV};CUPS_SERVER=${CMAKE_CURRENT_BINARY_DIR}/no-cups-here.sock")

# A batch printed through the print button arrives at a real CUPS queue (its own scheduler).
add_executable(print_queue_tests print_queue_test.cpp print_test_main.cpp)
target_link_libraries(print_queue_tests PRIVATE quorvel_print GTest::gtest)
target_include_directories(print_queue_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(print_queue_tests PRIVATE
    QUORVEL_FIXTURES_DIR="${QUORVEL_FIXTURES_DIR}")
add_test(NAME print_queue
         COMMAND ${PROJECT_SOURCE_DIR}/tests/print/with_cups.sh
                 $<TARGET_FILE:print_queue_tests>)
set_tests_properties(print_queue PROPERTIES
    ENVIRONMENT "${QUORVEL_PRINT_TEST_ENV}"
    SKIP_RETURN_CODE 77
    TIMEOUT 120)
