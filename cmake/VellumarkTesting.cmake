find_package(GTest REQUIRED)
include(GoogleTest)

# vellumark_add_test(<name> SOURCES <files...> LIBRARIES <targets...> [QT] [LABEL <label>])
# QT runs the test with the offscreen platform so widgets work without a display; LABEL lets
# `ctest -L <label>` pick out the test's cases.
function(vellumark_add_test name)
    cmake_parse_arguments(ARG "QT" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock)
    if(NOT ARG_QT)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    vellumark_set_warnings(${name})
    # Only properties with a value: an empty one would vanish from the list and shift the rest.
    set(properties "")
    if(ARG_QT)
        list(APPEND properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
    if(ARG_LABEL)
        list(APPEND properties LABELS "${ARG_LABEL}")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30
                         PROPERTIES ${properties})
endfunction()
