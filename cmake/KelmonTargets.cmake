# Helpers that give every folder's test, benchmark and fuzz programs the same shape.

# kelmon_test_program(<folder> SOURCES ... LIBS ...): one GoogleTest program per source
# folder, labelled with the folder's name (platform/core -> platform_core). OWN_MAIN when a
# source file brings its own main (a Qt application object, say).
function(kelmon_test_program folder)
    cmake_parse_arguments(T "OWN_MAIN" "" "SOURCES;LIBS" ${ARGN})
    if(NOT T_SOURCES)
        return()
    endif()
    string(REPLACE "/" "_" label ${folder})
    set(target ${label}_tests)
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBS} kelmon_test_support GTest::gtest
                          GTest::gmock Threads::Threads)
    if(NOT T_OWN_MAIN)
        target_link_libraries(${target} PRIVATE GTest::gtest_main)
    endif()
    target_compile_definitions(${target} PRIVATE
        KELMON_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KELMON_TEST_LABEL="${label}")
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${label} TIMEOUT 300)
endfunction()

# kelmon_benchmark(<name> SOURCES ... LIBS ...): a Google Benchmark program; never a test.
function(kelmon_benchmark name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    find_package(benchmark REQUIRED)
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark_main Threads::Threads)
endfunction()

# kelmon_fuzzer(<name> SOURCES ... LIBS ... [CORPUS dir]): a libFuzzer target, also run as
# a short CTest test (label fuzz) over its seed corpus and a bounded number of mutations.
function(kelmon_fuzzer name)
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(args -runs=500000 -max_total_time=15 -rss_limit_mb=2048)
    if(F_CORPUS)
        # New inputs go to a work folder in the build tree; the seeds stay as committed.
        set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
        list(JOIN args " " args_text)
        add_test(NAME ${name}
                 COMMAND sh -c "mkdir -p '${work}' && exec '$<TARGET_FILE:${name}>' ${args_text} '${work}' '${F_CORPUS}'")
    else()
        add_test(NAME ${name} COMMAND ${name} ${args})
    endif()
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# ---- Tests that hold a machine-wide resource ----
# kelmon_test_locks(<folder> <regex> <lock> [<regex> <lock> ...]): the folder's discovered tests
# whose names match a regex hold that CTest resource lock (a fixed port range, a system
# account), so no two of them run at once while the rest of the program's tests run side by
# side. Call it after kelmon_test_program; it reads the names discovery leaves in
# <target>_TESTS when CTest loads the tests.
function(kelmon_test_locks folder)
    string(REPLACE "/" "_" label ${folder})
    set(target ${label}_tests)
    if(NOT TARGET ${target})
        return()
    endif()
    set(script "")
    set(pairs ${ARGN})
    while(pairs)
        list(POP_FRONT pairs regex lock)
        string(APPEND script
            "foreach(kelmon_test IN LISTS ${target}_TESTS)\n"
            "  if(kelmon_test MATCHES [==[${regex}]==])\n"
            "    set_tests_properties(\"\${kelmon_test}\" PROPERTIES RESOURCE_LOCK ${lock})\n"
            "  endif()\n"
            "endforeach()\n")
    endwhile()
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_locks.cmake)
    file(WRITE ${file} "${script}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
