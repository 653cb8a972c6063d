# Helpers shared by the subsystems' CMakeLists.

# orvanta_test(NAME SOURCES... LIBS...) builds a GoogleTest executable and
# registers it with CTest. In the Win32 tree CTest runs it under Wine through
# the cross-compiling emulator; Wine tests share the display, clipboard and
# prefix, so they run one at a time.
function(orvanta_test name)
  cmake_parse_arguments(T "" "WORKING_DIRECTORY" "SOURCES;LIBS;ARGS" ${ARGN})
  if(NOT ORVANTA_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS} WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine TIMEOUT 300)
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# orvanta_fuzzer(NAME SOURCES... LIBS... [SEEDER target | SEEDER_SOURCES...
# SEEDER_LIBS...]) builds a libFuzzer target when the fuzz build is on;
# `make test` runs each one for a fixed short time. A seeder is a program of
# the tree that writes starting inputs into the folder it is given, so that
# short runs begin from valid images: another target's (SEEDER), or one built
# here as NAME_seeds from SEEDER_SOURCES.
function(orvanta_fuzzer name)
  cmake_parse_arguments(F "" "SEEDER" "SOURCES;LIBS;SEEDER_SOURCES;SEEDER_LIBS" ${ARGN})
  if(NOT ORVANTA_FUZZ)
    return()
  endif()
  if(F_SEEDER_SOURCES)
    set(F_SEEDER ${name}_seeds)
    add_executable(${F_SEEDER} ${F_SEEDER_SOURCES})
    target_link_libraries(${F_SEEDER} PRIVATE ${F_SEEDER_LIBS})
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  # The Makefile runs every executable in this folder.
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  if(F_SEEDER)
    # tools/run-fuzzers runs fuzz-seeders/NAME SEED_DIR before fuzzing NAME.
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fuzz-seeders
      COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${F_SEEDER}> ${CMAKE_BINARY_DIR}/fuzz-seeders/${name})
    add_dependencies(${name} ${F_SEEDER})
  endif()
endfunction()

# orvanta_beside_test_aspi_layer(TARGET) puts the test-only WNASPI32.DLL beside
# TARGET, where the prefix's override finds it, on the build that has ASPI;
# elsewhere there is no such layer and nothing is copied.
function(orvanta_beside_test_aspi_layer target)
  if(NOT ORVANTA_ASPI OR NOT TARGET ${target})
    return()
  endif()
  add_dependencies(${target} fake_wnaspi32)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:fake_wnaspi32> $<TARGET_FILE_DIR:${target}>)
endfunction()
