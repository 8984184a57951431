# Build rules shared by every layer: warnings, sanitizers, and the two helpers
# that declare a layer's library and its test executable.

set(TABELLIX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(TABELLIX_WERROR)
  list(APPEND TABELLIX_WARNINGS -Werror)
endif()

if(TABELLIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TABELLIX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(PkgConfig REQUIRED)
find_package(GTest REQUIRED)
include(GoogleTest)

# tabellix_library(NAME SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
function(tabellix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TABELLIX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# tabellix_test(NAME SOURCES ... DEPS ...): one GoogleTest executable per layer.
# Tests run from the source tree so relative paths to ../shared and the
# fixtures behave the same locally and in CI.
function(tabellix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TABELLIX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tabellix_testsupport GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TABELLIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# tabellix_fuzzer(NAME SOURCES ... DEPS ...): a libFuzzer target, built only
# with TABELLIX_FUZZ (clang); scripts/fuzz runs every one of them.
function(tabellix_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TABELLIX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()
