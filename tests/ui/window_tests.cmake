# The main window offscreen, and the program driven as a person would under Xvfb.
set(QUORVEL_WINDOW_XDG ${CMAKE_CURRENT_BINARY_DIR}/window-xdg-runtime)
file(MAKE_DIRECTORY ${QUORVEL_WINDOW_XDG})
file(CHMOD ${QUORVEL_WINDOW_XDG} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

add_executable(window_tests window_test.cpp)
target_link_libraries(window_tests PRIVATE quorvel_window Qt6::Test)
target_compile_definitions(window_tests PRIVATE QUORVEL_LOCALE_DIR="${QUORVEL_LOCALE_DIR}")
add_test(NAME window_tests COMMAND window_tests)
set_tests_properties(window_tests PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# The same tests on a laptop screen of 1366 x 768 at 125 %: 1093 x 614 logical pixels, smaller
# than the layout.
set(QUORVEL_SMALL_SCREEN ${CMAKE_CURRENT_BINARY_DIR}/small-screen.json)
file(WRITE ${QUORVEL_SMALL_SCREEN}
     "{\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": 1093, \"height\": 614, \"logicalDpi\": 96}]}\n")
add_test(NAME window_tests_small_screen COMMAND window_tests)
set_tests_properties(window_tests_small_screen PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_SMALL_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# The same screen at 100 %: 1366 x 768, where the layout stands as it always has.
set(QUORVEL_LAPTOP_SCREEN ${CMAKE_CURRENT_BINARY_DIR}/laptop-screen.json)
file(WRITE ${QUORVEL_LAPTOP_SCREEN}
     "{\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": 1366, \"height\": 768, \"logicalDpi\": 96}]}\n")
add_test(NAME window_tests_laptop COMMAND window_tests)
set_tests_properties(window_tests_laptop PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_LAPTOP_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

add_test(NAME window_e2e
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/window_e2e.sh $<TARGET_FILE:quorvel>
            ${CMAKE_CURRENT_BINARY_DIR}/window-e2e)
set_tests_properties(window_e2e PROPERTIES
    TIMEOUT 300
    SKIP_RETURN_CODE 77
    ENVIRONMENT "XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# The same run with a private print queue: "打 印" after the forward batch, the job read back.
add_test(NAME window_print_e2e
    COMMAND ${PROJECT_SOURCE_DIR}/tests/print/with_cups.sh env
            E2E_AFTER_FORWARD=${PROJECT_SOURCE_DIR}/tests/e2e/print_step.sh
            bash ${PROJECT_SOURCE_DIR}/tests/e2e/window_e2e.sh $<TARGET_FILE:quorvel>
            ${CMAKE_CURRENT_BINARY_DIR}/window-print-e2e)
set_tests_properties(window_print_e2e PROPERTIES
    TIMEOUT 300
    SKIP_RETURN_CODE 77
    ENVIRONMENT "XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# The file computation and the settings, offscreen; the keyboard flow under Xvfb.
add_executable(app_tests app_test.cpp)
find_package(GDAL CONFIG REQUIRED)
# quorvel-batch in process, to compare the window with.
target_link_libraries(app_tests PRIVATE quorvel_app quorvel_command_line Qt6::Test GDAL::GDAL)
target_compile_definitions(app_tests PRIVATE QUORVEL_VERSION="${PROJECT_VERSION}"
    QUORVEL_LOCALE_DIR="${QUORVEL_LOCALE_DIR}"
    QUORVEL_CONTROL_POINTS="${PROJECT_SOURCE_DIR}/tests/e2e/control-points-gb18030.csv")
add_test(NAME app_tests COMMAND app_tests)
set_tests_properties(app_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")

# The dialogs and the results window on the laptop screen.
add_test(NAME app_tests_small_screen
    COMMAND app_tests headerAndRolesOfTheFieldFile resultsWindowFitsAndLinksTableAndMap
            windowTakesTheRoomItsLayoutLacksOnceShown
            fileDialogWithMoreOptionsFitsTheScreen)
set_tests_properties(app_tests_small_screen PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_SMALL_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# The results window's title, summary, table and map band, and the main window on the laptop
# screen at 125 % (scaled as Qt scales it) and at 100 %, where its layout must stay as it is.
add_executable(window_polish_tests window_polish_test.cpp)
target_link_libraries(window_polish_tests PRIVATE quorvel_app Qt6::Test)
target_compile_definitions(window_polish_tests PRIVATE QUORVEL_LOCALE_DIR="${QUORVEL_LOCALE_DIR}")
add_test(NAME window_polish_tests COMMAND window_polish_tests)
add_test(NAME window_polish_tests_125 COMMAND window_polish_tests)
add_test(NAME window_polish_tests_100 COMMAND window_polish_tests mainWindowShowsItsButtonsWithoutScrolling)
set_tests_properties(window_polish_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")
set_tests_properties(window_polish_tests_125 PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_LAPTOP_SCREEN};QT_SCALE_FACTOR=1.25;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")
set_tests_properties(window_polish_tests_100 PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_LAPTOP_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

add_test(NAME file_compute_e2e
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/file_compute_e2e.sh $<TARGET_FILE:quorvel>
            $<TARGET_FILE:quorvel-batch> ${CMAKE_CURRENT_BINARY_DIR}/file-compute-e2e)
set_tests_properties(file_compute_e2e PROPERTIES
    TIMEOUT 300
    SKIP_RETURN_CODE 77
    ENVIRONMENT "XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# 坐标转换: pasted points, residuals and refit, the parameter file against quorvel-batch fit's.
add_executable(datum_ui_tests datum_dialog_test.cpp)
target_link_libraries(datum_ui_tests PRIVATE quorvel_app quorvel_command_line Qt6::Test)
add_test(NAME datum_ui_tests COMMAND datum_ui_tests)
set_tests_properties(datum_ui_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")
# 坐标转换's height model beside the datum: residuals, refusals, the files against quorvel-batch's.
add_executable(datum_heights_ui_tests datum_heights_dialog_test.cpp)
target_link_libraries(datum_heights_ui_tests PRIVATE quorvel_app quorvel_command_line Qt6::Test)
add_test(NAME datum_heights_ui_tests COMMAND datum_heights_ui_tests)
set_tests_properties(datum_heights_ui_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")
# The dialog's size and tables on the laptop screen.
add_test(NAME datum_ui_tests_small_screen
    COMMAND datum_ui_tests fitsTheScreenWithEightRowsATable)
set_tests_properties(datum_ui_tests_small_screen PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_SMALL_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

add_test(NAME datum_e2e
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/datum_e2e.sh $<TARGET_FILE:quorvel>
            $<TARGET_FILE:quorvel-batch> ${CMAKE_CURRENT_BINARY_DIR}/datum-e2e)
set_tests_properties(datum_e2e PROPERTIES
    TIMEOUT 300
    SKIP_RETURN_CODE 77
    ENVIRONMENT "XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# Excel workbooks in 从文件计算 and 坐标转换: the sheet chooser, the preview, the run.
add_executable(workbook_ui_tests workbook_ui_test.cpp)
target_link_libraries(workbook_ui_tests PRIVATE quorvel_app Qt6::Test)
target_compile_definitions(workbook_ui_tests PRIVATE QUORVEL_FIXTURES_DIR="${QUORVEL_FIXTURES_DIR}")
add_test(NAME workbook_ui_tests COMMAND workbook_ui_tests)
set_tests_properties(workbook_ui_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")

# 图幅号: a point or number typed, the corners and a file against quorvel-batch sheet's.
add_executable(sheet_ui_tests sheet_dialog_test.cpp)
target_link_libraries(sheet_ui_tests PRIVATE quorvel_app quorvel_command_line Qt6::Test)
target_compile_definitions(sheet_ui_tests PRIVATE QUORVEL_FIXTURES_DIR="${QUORVEL_FIXTURES_DIR}")
add_test(NAME sheet_ui_tests COMMAND sheet_ui_tests)
set_tests_properties(sheet_ui_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")
add_test(NAME sheet_ui_tests_small_screen COMMAND sheet_ui_tests keyboardAndSize)
set_tests_properties(sheet_ui_tests_small_screen PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_SMALL_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# 坐标反算 and 面积计算: legs and areas as typed, the geodesic side, the laptop screen.
add_executable(measure_ui_tests measure_dialog_test.cpp)
target_link_libraries(measure_ui_tests PRIVATE quorvel_app Qt6::Test)
target_compile_definitions(measure_ui_tests PRIVATE QUORVEL_FIXTURES_DIR="${QUORVEL_FIXTURES_DIR}")
add_test(NAME measure_ui_tests COMMAND measure_ui_tests)
set_tests_properties(measure_ui_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")
add_test(NAME measure_ui_tests_small_screen COMMAND measure_ui_tests fitsALaptopScreen)
set_tests_properties(measure_ui_tests_small_screen PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${QUORVEL_SMALL_SCREEN};XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8")

# 坐标转换's results exported in the GIS formats, read back with GDAL.
add_executable(transform_export_tests transform_export_test.cpp)
target_link_libraries(transform_export_tests PRIVATE quorvel_app Qt6::Test GDAL::GDAL)
add_test(NAME transform_export_tests COMMAND transform_export_tests)
set_tests_properties(transform_export_tests PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${QUORVEL_WINDOW_XDG};LC_ALL=C.UTF-8;QUORVEL_GDAL_MODULE=$<TARGET_FILE:quorvel_gdal>")
