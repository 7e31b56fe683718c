# Shared build settings: warnings, sanitizers and one static library per
# subsystem built from the sources of its folder.

function(telvara_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TELVARA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Sanitizer and fuzz builds also keep the assertions that optimised builds
# drop: they check what no test looks at directly.
if(TELVARA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined -UNDEBUG)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz builds instrument every library for coverage; the fuzz targets add the
# libFuzzer driver themselves.
if(TELVARA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -UNDEBUG)
  add_link_options(-fsanitize=address,undefined)
endif()

# telvara_library(NAME DIR [DEPS ...]): a static library from every .cpp in
# DIR (and its sub-folders, unless TELVARA_FLAT_GLOB is set by the caller),
# main.cpp excluded; headers are included as "subsystem/file.h" from src/.
function(telvara_library name dir)
  if(TELVARA_FLAT_GLOB)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  else()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  endif()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
    telvara_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# telvara_test(NAME DIR LIBS...): one GoogleTest binary from every .cpp in
# DIR, each test registered with CTest.
function(telvara_test name dir)
  if(TELVARA_FLAT_GLOB)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  else()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  telvara_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300
                                  ENVIRONMENT "TELVARA_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
