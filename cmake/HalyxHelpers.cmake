# Adds every direct sub-folder of DIR that holds a CMakeLists.txt.
function(halyx_add_subdirs dir)
    file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir}
         ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
    list(SORT children)
    foreach(child IN LISTS children)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
            add_subdirectory(${dir}/${child})
        endif()
    endforeach()
endfunction()

# halyx_library(NAME SOURCES ... [DEPS ...]): a static library of one src/ folder.
# Headers are included as "folder/file.h" relative to src/.
function(halyx_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# halyx_test(NAME SOURCES ... [DEPS ...] [LABELS ...]): a GoogleTest program run by CTest.
# Tests run with the offscreen Qt platform and their own settings, never a user's.
function(halyx_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    # Helpers every test folder shares (testhome.h).
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        HALYX_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
        HALYX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        HALYX_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        LABELS "${ARG_LABELS}"
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HALYX_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}_home;TZ=UTC")
endfunction()

# halyx_bench(NAME SOURCES ... [DEPS ...]): a Google Benchmark program (not run by CTest).
function(halyx_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
    # Helpers several benchmarks share (the long log) live at the top of bench/.
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
endfunction()
