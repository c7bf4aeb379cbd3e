# The demo machine: sv-seed's library on the fake machine (in sv_unit_tests), the comparison
# logic of the seeded Wine test on the host, and the seeded Wine test itself.

# Both descriptions go into the test program as text, so no test needs the source tree.
set(SV_SEED_INPUTS ${PROJECT_SOURCE_DIR}/data/demo-machine.json
                   ${PROJECT_SOURCE_DIR}/data/sample-database.json)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SV_SEED_INPUTS})
file(READ ${PROJECT_SOURCE_DIR}/data/demo-machine.json SV_DEMO_MACHINE_JSON)
file(READ ${PROJECT_SOURCE_DIR}/data/sample-database.json SV_SAMPLE_DATABASE_JSON)
configure_file(support/seed_data.cpp.in ${CMAKE_CURRENT_BINARY_DIR}/seed_data.cpp @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/seed_data.cpp PROPERTIES COMPILE_OPTIONS
                            -Wno-overlength-strings)
target_sources(sv_unit_tests PRIVATE unit/seed_test.cpp ${CMAKE_CURRENT_BINARY_DIR}/seed_data.cpp)
target_link_libraries(sv_unit_tests PRIVATE sv_seed sv_registry)

find_package(Python3 COMPONENTS Interpreter)
if(NOT WIN32 AND Python3_Interpreter_FOUND)
  add_test(NAME host.seed.expectations
           COMMAND ${Python3_EXECUTABLE} -m unittest -v test_seed_expectations
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/win)
  set_tests_properties(host.seed.expectations PROPERTIES TIMEOUT 120)
endif()

if(WIN32 AND SV_WINE_RUNS_TESTS AND Python3_Interpreter_FOUND)
  # A fresh prefix of its own (the seed changes the machine), seeded, then scanned and
  # detailed by sorvane-cli and compared with what the seed says it made.
  add_test(NAME win64.engine.seeded
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/win/seeded_scan.py
                   --bin ${CMAKE_BINARY_DIR}/bin --prefix ${CMAKE_BINARY_DIR}/seeded-prefix
                   --wine-run ${PROJECT_SOURCE_DIR}/scripts/wine-run)
  set_tests_properties(win64.engine.seeded PROPERTIES TIMEOUT 900)
  # The removal on a freshly seeded prefix of its own: a real service, a running process, a
  # link into the profile; the dry run first, then the removal.
  add_test(NAME win64.engine.removal
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/win/seeded_removal.py
                   --bin ${CMAKE_BINARY_DIR}/bin --prefix ${CMAKE_BINARY_DIR}/removal-prefix
                   --wine-run ${PROJECT_SOURCE_DIR}/scripts/wine-run)
  set_tests_properties(win64.engine.removal PROPERTIES TIMEOUT 900)
  # Hostile signatures and machines on a prefix of their own: nothing protected may go, and
  # each target's own things still do.
  add_test(NAME win64.engine.hostile
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/win/hostile_removal.py
                   --bin ${CMAKE_BINARY_DIR}/bin --prefix ${CMAKE_BINARY_DIR}/hostile-prefix
                   --wine-run ${PROJECT_SOURCE_DIR}/scripts/wine-run
                   --svdb ${CMAKE_BINARY_DIR}/native-svdb/bin/svdb)
  set_tests_properties(win64.engine.hostile PROPERTIES TIMEOUT 900)
endif()
