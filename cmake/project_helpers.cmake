# One library per folder: sources in src/, public headers in include/,
# tests in test/ (one GoogleTest program named after the library).
function(bios_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                     PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# Test program for a library; LABELS may name "gui" for tests that need a
# display; SOURCES replaces the files of test/ (a program of its own).
function(bios_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS;SOURCES" ${ARGN})
  if(NOT BIOS_TESTS)
    return()
  endif()
  if(ARG_SOURCES)
    set(srcs ${ARG_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test/*.cpp)
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/test
                                             ${PROJECT_SOURCE_DIR}/platform/testing)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    # A test that forgets its own lock folder still never takes the machine's.
    ENVIRONMENT "BIOS_TOOLS_NO_POWER_ACTION=1;BIOS_TOOLS_BUILD_DIR=${PROJECT_BINARY_DIR};BIOS_TOOLS_LOCK_DIR=${CMAKE_CURRENT_BINARY_DIR};BIOS_TOOLS_FLASHROM_LOCK_DIR=${CMAKE_CURRENT_BINARY_DIR}"
    TIMEOUT 900)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
