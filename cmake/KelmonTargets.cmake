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

# ---- The window code's shared precompiled header ----
# kelmon_window_pch(FOLDERS <folder>... [TARGETS <target>...]): every library and program of the
# window folders and of their test folders (tests/<folder>), and the targets named, compile with
# one precompiled header built once: cmake/KelmonWindowPch.h, or cmake/KelmonWindowTestPch.h for
# programs that link GoogleTest. Call it in the top-level directory after all folders are added:
# the two donor targets made here get the top-level compile options that every folder inherits,
# and GCC uses a precompiled header only under the options it was made with (-Winvalid-pch says
# when not). Sources of the core folders (KELMON_CORE_FOLDERS) never get it, whatever target
# they are in: the core sees no Qt (pavlet holds record/ beside flexui/).
function(kelmon_window_pch)
    cmake_parse_arguments(P "" "" "FOLDERS;TARGETS" ${ARGN})
    set(pch_dir ${CMAKE_SOURCE_DIR}/cmake)
    set(donor kelmon_window_pch)
    set(test_donor kelmon_window_test_pch)
    add_library(${donor} OBJECT ${pch_dir}/KelmonWindowPch.cpp)
    target_link_libraries(${donor} PRIVATE Qt6::Widgets)
    target_precompile_headers(${donor} PRIVATE ${pch_dir}/KelmonWindowPch.h)
    add_library(${test_donor} OBJECT ${pch_dir}/KelmonWindowPch.cpp)
    target_link_libraries(${test_donor} PRIVATE Qt6::Widgets GTest::gtest)
    target_precompile_headers(${test_donor} PRIVATE ${pch_dir}/KelmonWindowTestPch.h)
    # With ccache (see the compiler launcher), GCC must mark where the precompiled header goes in
    # its preprocessed output, so that the cache hashes the header that was really used.
    if(CMAKE_CXX_COMPILER_LAUNCHER AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${donor} PRIVATE -fpch-preprocess)
        target_compile_options(${test_donor} PRIVATE -fpch-preprocess)
    endif()

    set(targets ${P_TARGETS})
    foreach(folder IN LISTS P_FOLDERS)
        foreach(dir ${CMAKE_SOURCE_DIR}/${folder} ${CMAKE_SOURCE_DIR}/tests/${folder})
            if(EXISTS ${dir}/CMakeLists.txt)
                get_property(dir_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
                list(APPEND targets ${dir_targets})
            endif()
        endforeach()
    endforeach()

    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        # A target gets it for the sources of our tree (not generated ones), never the core's.
        get_target_property(sources ${target} SOURCES)
        get_target_property(source_dir ${target} SOURCE_DIR)
        set(window_sources "")
        foreach(source IN LISTS sources)
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
            cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${source} NORMALIZE in_tree)
            cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${source} NORMALIZE generated)
            if(NOT source MATCHES "\\.cpp$" OR NOT in_tree OR generated)
                continue()
            endif()
            set(in_core FALSE)
            foreach(core IN LISTS KELMON_CORE_FOLDERS)
                set(core_dir ${CMAKE_SOURCE_DIR}/${core})
                cmake_path(IS_PREFIX core_dir ${source} NORMALIZE under_core)
                if(under_core)
                    set(in_core TRUE)
                endif()
            endforeach()
            if(in_core)
                set_source_files_properties(${source} TARGET_DIRECTORY ${target}
                                            PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
            else()
                list(APPEND window_sources ${source})
            endif()
        endforeach()
        if(NOT window_sources)
            continue()
        endif()
        get_target_property(libraries ${target} LINK_LIBRARIES)
        if("GTest::gtest" IN_LIST libraries)
            set(target_donor ${test_donor})
        else()
            set(target_donor ${donor})
        endif()
        target_precompile_headers(${target} REUSE_FROM ${target_donor})
        get_target_property(donor_options ${target_donor} COMPILE_OPTIONS)
        if(donor_options)
            target_compile_options(${target} PRIVATE ${donor_options})
        endif()
    endforeach()
endfunction()
