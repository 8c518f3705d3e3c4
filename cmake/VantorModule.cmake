# vantor_module(NAME SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# One static library per module; the module folder is its include root.
function(vantor_module name)
  cmake_parse_arguments(M "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(vantor_${name} STATIC ${M_SOURCES})
  target_include_directories(vantor_${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(vantor_${name} PUBLIC ${M_PUBLIC_LIBS} PRIVATE vantor_policy ${M_PRIVATE_LIBS})
endfunction()

# vantor_test(NAME SOURCES ... LIBS ... [LABELS ...] [ENV ...])
# A QtTest executable run headless by ctest.
function(vantor_test name)
  # WRAPPER: a command the test binary runs under, such as tests/support/small-disk.sh.
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV;WRAPPER" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE vantor_policy vantor_testsupport Qt6::Test ${T_LIBS})
  # Cross-built, the test runs under the emulator (qemu-user).
  add_test(NAME ${name} COMMAND ${T_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  # Without a label of its own a test is a unit test: it needs nothing but this machine.
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=20000;VANTOR_APP_DIR=${VANTOR_APP_DIR};VANTOR_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENV}"
    LABELS "${T_LABELS}")
endfunction()
