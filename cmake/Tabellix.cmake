# Build rules shared by every layer: warnings, sanitizers, and the helpers
# that declare a layer's library, its test executable and its include root.

set(TABELLIX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(TABELLIX_WERROR)
  list(APPEND TABELLIX_WARNINGS -Werror)
endif()

if(TABELLIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TABELLIX_TSAN)
  if(TABELLIX_SANITIZE OR TABELLIX_FUZZ)
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer")
  endif()
  # GCC's flow analysis of std::variant moves under this instrumentation
  # reports maybe-uninitialized storage that every path has set.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=thread)
endif()

if(TABELLIX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(PkgConfig REQUIRED)
find_package(GTest REQUIRED)
include(GoogleTest)

# tabellix_include_root(TARGET PUBLIC|PRIVATE FOLDER ...): gives TARGET an
# include root of its own in the build tree that holds only the named source
# folders (as links), so "engine/grid.h" is found by TARGET and, PUBLIC, by
# what links TARGET, and by nothing that does not declare that link.
function(tabellix_include_root target scope)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  foreach(folder ${ARGN})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# tabellix_library(NAME SOURCES ... [DEPS ...] [PRIVATE_DEPS ...]): the
# library of the folder it is declared in. DEPS are the libraries its headers
# include, PRIVATE_DEPS those only its sources include (docs/layers.txt lists
# which folders may be used at all).
function(tabellix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  tabellix_include_root(${name} PUBLIC ${folder})
  target_compile_options(${name} PRIVATE ${TABELLIX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# tabellix_test(NAME SOURCES ... DEPS ...): one GoogleTest executable per layer,
# seeing its own folder and what DEPS export. Tests run from the source tree
# so relative paths to ../shared and the fixtures behave the same locally and
# in CI.
function(tabellix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  tabellix_include_root(${name} PRIVATE ${folder})
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
