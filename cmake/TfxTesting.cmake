# One test executable per module, each registered with CTest as one test.
#   tfx_add_test(NAME text_tests SOURCES a.cpp b.cpp LIBS text [GUI] [TIMEOUT 120])
# GUI tests run on Qt's offscreen platform; Qt WebEngine refuses to run as root without
# --no-sandbox, and CI runs as root.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

function(tfx_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tfx_test_support GTest::gmock_main)
  tfx_warnings(${T_NAME})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "TFX_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen"
         "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu --disable-background-networking --disable-component-update"
         "QTWEBENGINE_DISABLE_SANDBOX=1")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
  if(T_GUI)
    # Under AddressSanitizer: Chromium inside Qt WebEngine frees some objects with a sized
    # delete of another size, a report from the system library that no suppression file can
    # name; the check stays on for every test that does not start the browser engine.
    set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT_MODIFICATION
                 "ASAN_OPTIONS=string_append::new_delete_type_mismatch=0")
  endif()
endfunction()
