# keplin_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [LAB <args for with-lab.sh>] [XVFB]
#                 [ARGS <arguments of the test program>])
#
# One GoogleTest program per component. LAB tests run inside a fresh isolated
# lab network made by tests/lab/with-lab.sh; XVFB tests get a virtual display.
# Every test runs in an empty network namespace (tests/run-isolated.sh), so that
# a stray search can never reach the machine's real network.
find_package(GTest REQUIRED)

set(KEPLIN_TEST_DIR ${CMAKE_BINARY_DIR}/tests)

function(keplin_add_test name)
  cmake_parse_arguments(T "XVFB" "" "SOURCES;LIBS;LABELS;LAB;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KEPLIN_TEST_DIR}
                                           BUILD_RPATH "${KEPLIN_KIT_DIR}")
  set(runner ${PROJECT_SOURCE_DIR}/tests/run-isolated.sh)
  set(labels ${T_LABELS})
  if(T_LAB)
    set(cmd ${runner} --lab "${T_LAB}")
    list(APPEND labels lab)
  else()
    set(cmd ${runner})
  endif()
  if(T_XVFB)
    list(APPEND cmd --xvfb)
    list(APPEND labels window)
  endif()
  add_test(NAME ${name} COMMAND ${cmd} -- $<TARGET_FILE:${name}> ${T_ARGS})
  set_tests_properties(${name} PROPERTIES
    LABELS "${labels}"
    SKIP_RETURN_CODE 77
    ENVIRONMENT "KEPLIN_KIT_DIR=${KEPLIN_KIT_DIR};KEPLIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    TIMEOUT 600)
endfunction()
