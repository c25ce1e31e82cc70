# Configures and builds the fuzz target with clang++, then fuzzes the batch file reader for a
# bounded time. Run by CTest: cmake -DQP_SOURCE_DIR=.. -DWORK_DIR=.. -DSECONDS=.. -P run_fuzz.cmake
foreach(var QP_SOURCE_DIR WORK_DIR SECONDS)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

find_program(CLANGXX NAMES clang++ clang++-14 REQUIRED)
find_program(NINJA NAMES ninja ninja-build)
set(generator)
if(NINJA)
    set(generator -G Ninja)
endif()

set(build_dir ${WORK_DIR}/build)
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${QP_SOURCE_DIR}/tests/fuzz/target -B ${build_dir} ${generator}
        -DCMAKE_CXX_COMPILER=${CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
        -DQP_SOURCE_DIR=${QP_SOURCE_DIR}
    RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
    message(FATAL_ERROR "configuring the fuzz target failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build_dir} -j 2 RESULT_VARIABLE built)
if(NOT built EQUAL 0)
    message(FATAL_ERROR "building the fuzz target failed")
endif()

# libFuzzer adds what it finds to its first corpus folder, so it gets a scratch one and reads
# the committed seeds from the second.
set(found_dir ${WORK_DIR}/found)
file(REMOVE_RECURSE ${found_dir})
file(MAKE_DIRECTORY ${found_dir})
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
        ${build_dir}/fuzz_parse_batch -max_total_time=${SECONDS} -max_len=8192 -timeout=10
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=${WORK_DIR}/
        ${found_dir} ${QP_SOURCE_DIR}/tests/fuzz/seeds
    RESULT_VARIABLE fuzzed)
if(NOT fuzzed EQUAL 0)
    message(FATAL_ERROR "the fuzzer found a failing input; see the crash file in ${WORK_DIR}")
endif()
