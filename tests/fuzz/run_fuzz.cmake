# Builds the fuzz target with clang++ apart from the main build, whatever compiler that uses,
# then fuzzes the batch reader for SECONDS. Run by CTest with QP_SOURCE_DIR, WORK_DIR, SECONDS
# and GENERATOR.
find_program(CLANGXX NAMES clang++ clang++-14 REQUIRED)
set(build ${WORK_DIR}/build)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${QP_SOURCE_DIR}/tests/fuzz/target -B ${build}
    -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CLANGXX} -DQP_SOURCE_DIR=${QP_SOURCE_DIR}
    RESULT_VARIABLE failed)
if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} -j 2 RESULT_VARIABLE failed)
endif()
if(failed)
    message(FATAL_ERROR "the fuzz target could not be configured or built")
endif()
# libFuzzer adds what it finds to its first corpus folder: a scratch one, before the seeds.
file(REMOVE_RECURSE ${WORK_DIR}/found)
file(MAKE_DIRECTORY ${WORK_DIR}/found)
execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
    ${build}/fuzz_parse_batch -max_total_time=${SECONDS} -max_len=8192 -timeout=10
    -rss_limit_mb=2048 -artifact_prefix=${WORK_DIR}/ ${WORK_DIR}/found
    ${QP_SOURCE_DIR}/tests/fuzz/seeds RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "the fuzzer found a failing input; see the crash file in ${WORK_DIR}")
endif()
