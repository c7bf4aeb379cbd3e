# Tests of the online services: host unit tests on the fake transport (also run under Wine
# for win64), the WinINet transport and the exchanges end to end against the reference
# service on loopback, and the reference service's own tests.

add_executable(sv_online_tests
  unit/online_form_exchange_test.cpp
  unit/online_service_url_test.cpp
  unit/online_update_check_test.cpp
  unit/online_submission_test.cpp
  unit/fake_http_test.cpp)
sv_executable_defaults(sv_online_tests)
target_include_directories(sv_online_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(sv_online_tests PRIVATE sv_online sv_http_fake GTest::gtest_main)

find_package(Python3 COMPONENTS Interpreter)

if(NOT WIN32)
  gtest_discover_tests(sv_online_tests TEST_PREFIX "host." DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
  if(Python3_Interpreter_FOUND)
    add_test(NAME host.service.unittest
             COMMAND ${Python3_EXECUTABLE} -m unittest -v test_service
             WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/tools/service)
    add_test(NAME host.service.harness
             COMMAND ${Python3_EXECUTABLE} -m unittest -v test_with_service
             WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/win)
    set_tests_properties(host.service.unittest host.service.harness PROPERTIES TIMEOUT 120)
  endif()
endif()

if(WIN32)
  # Stands in for the external updater: it only leaves a mark beside itself.
  add_executable(sv-update-standin WIN32 win/update_standin.cpp)
  sv_executable_defaults(sv-update-standin)
  target_link_options(sv-update-standin PRIVATE -municode)

  add_executable(sv_online_win_tests
    win/online_http_win_test.cpp
    win/online_exchange_win_test.cpp
    win/update_launch_win_test.cpp)
  sv_executable_defaults(sv_online_win_tests)
  target_include_directories(sv_online_win_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(sv_online_win_tests PRIVATE sv_app_logic sv_app_lists sv_database
                                                    sv_online sv_http_win32 sv_platform_win32
                                                    GTest::gtest_main)
  add_dependencies(sv_online_win_tests sv-update-standin)

  if(SV_WINE_RUNS_TESTS)
    set(win_dir ${CMAKE_BINARY_DIR}/bin)
    add_test(NAME win64.online.unit COMMAND sv_online_tests WORKING_DIRECTORY ${win_dir})
    if(Python3_Interpreter_FOUND)
      # The reference service on a free loopback port for the length of the test program.
      add_test(NAME win64.online.service
               COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/win/with_service.py
                       --versions ${CMAKE_CURRENT_SOURCE_DIR}/win/online_versions.json
                       --timeout 300 --
                       ${PROJECT_SOURCE_DIR}/scripts/wine-run
                       --prefix ${CMAKE_BINARY_DIR}/wineprefix --drive ${win_dir}
                       $<TARGET_FILE:sv_online_win_tests>
               WORKING_DIRECTORY ${win_dir})
      set_tests_properties(win64.online.service PROPERTIES TIMEOUT 360)
    endif()
    set_tests_properties(win64.online.unit PROPERTIES TIMEOUT 300)
  endif()
endif()
