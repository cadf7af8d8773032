# SPDX-License-Identifier: GPL-3.0-or-later
# tallyvox_add_test(NAME name SOURCES ... [LIBS ...] [QTEST] [ENV k=v ...]
#                   [LABELS ...] [TIMEOUT s] [DEPENDS target ...])
# One test program, registered as one CTest test: GoogleTest (with its
# main) unless QTEST says it is a QtTest program. Every test runs with the
# same surroundings: widgets offscreen, audio through SDL's dummy driver, a
# fixed locale and the built programs in TALLYVOX_BIN; ENV adds or overrides.
set(TALLYVOX_TEST_ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen"
  "SDL_AUDIODRIVER=dummy"
  "LC_ALL=C.UTF-8"
  "TALLYVOX_BIN=${CMAKE_BINARY_DIR}/bin")

function(tallyvox_add_test)
  cmake_parse_arguments(T "QTEST" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS;DEPENDS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests AUTOMOC ${T_QTEST})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR})
  if(T_QTEST)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  endif()
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${TALLYVOX_TEST_ENVIRONMENT};${T_ENV}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
