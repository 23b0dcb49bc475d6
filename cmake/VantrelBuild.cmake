# Build helpers shared by every folder: warnings, sanitizers, libraries, tests,
# fuzz targets and benchmarks.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra)
if(VANTREL_WERROR)
  add_compile_options(-Werror)
endif()

if(VANTREL_SANITIZE)
  # -fsanitize=function trips over Qt's signal dispatch through cast function pointers.
  set(VANTREL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize=function
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${VANTREL_SANITIZER_FLAGS})
  add_link_options(${VANTREL_SANITIZER_FLAGS})
endif()

if(VANTREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VANTREL_FUZZ needs clang (libFuzzer)")
  endif()
  # Coverage feedback for the fuzzers must reach the libraries they exercise.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

set(VANTREL_SANITIZER_ENV
  "ASAN_OPTIONS=detect_leaks=1:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0:detect_stack_use_after_return=0"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --disable-background-networking --disable-component-update --no-first-run"
  "VANTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
  "VANTREL_BINARY_DIR=${CMAKE_BINARY_DIR}"
  "VANTREL_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
)

# The browser engine unloads Mesa's software GL driver at exit, which hides the
# owner of a few allocations the driver never frees; keeping it loaded lets the
# leak checker see them as still referenced and look at our own code only.
# Tests that start the browser say so with RESOURCE_LOCK browser and get this.
find_file(VANTREL_SWRAST_DRI swrast_dri.so
  PATHS /usr/lib/x86_64-linux-gnu/dri /usr/lib/dri NO_DEFAULT_PATH)
set(VANTREL_BROWSER_ENV "")
if(VANTREL_SANITIZE AND VANTREL_SWRAST_DRI)
  set(VANTREL_BROWSER_ENV "LD_PRELOAD=${VANTREL_SWRAST_DRI}")
endif()

# vantrel_library(name SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# Headers are included relative to src/, e.g. #include "net/unisock.h".
function(vantrel_library name)
  cmake_parse_arguments(A "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_PUBLIC_LIBS} PRIVATE ${A_PRIVATE_LIBS})
endfunction()

# vantrel_test(name LABEL unit|gui|e2e SOURCES ... [LIBS ...] [QT_MAIN | QTEST]
#              [TIMEOUT s] [RESOURCE_LOCK ...] [ENVIRONMENT ...] [ARGS ...])
#   RESOURCE_LOCK browser: the test starts the embedded browser; such tests run one at a time
#   RESOURCE_LOCK clipboard: the test owns the display's clipboard; two such tests at once
#                            take the selection from each other
#   default: GoogleTest with gtest_main (no Qt application object)
#   QT_MAIN: GoogleTest with a main that creates a QApplication first
#   QTEST:   a Qt Test program (QTEST_MAIN in the source)
function(vantrel_test name)
  cmake_parse_arguments(A "QT_MAIN;QTEST" "LABEL;TIMEOUT"
                        "SOURCES;LIBS;RESOURCE_LOCK;ENVIRONMENT;ARGS" ${ARGN})
  if(NOT A_LABEL)
    message(FATAL_ERROR "vantrel_test(${name}) needs a LABEL")
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} vantrel_test_support)
  if(A_QTEST)
    target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Widgets)
  elseif(A_QT_MAIN)
    target_link_libraries(${name} PRIVATE vantrel_gtest_qt_main GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gtest)
  endif()
  add_test(NAME ${name} COMMAND ${name} ${A_ARGS})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 180)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS ${A_LABEL}
    TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "${VANTREL_SANITIZER_ENV};${A_ENVIRONMENT}")
  if(A_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${A_RESOURCE_LOCK}")
    if("browser" IN_LIST A_RESOURCE_LOCK AND VANTREL_BROWSER_ENV)
      set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "${VANTREL_BROWSER_ENV}")
    endif()
  endif()
endfunction()

# vantrel_fuzz(name SOURCES ... LIBS ... SEEDS dir [SECONDS n])
# Builds a libFuzzer target and registers a short run over the seeds as a test
# (label "fuzz"). Longer runs: build/test/bin/<name> -runs=10000000 <corpus> <seeds>.
function(vantrel_fuzz name)
  cmake_parse_arguments(A "" "SEEDS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT VANTREL_FUZZ)
    return()
  endif()
  if(NOT A_SECONDS)
    set(A_SECONDS 10)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/fuzz/run-fuzzer.sh $<TARGET_FILE:${name}> ${A_SEEDS} ${A_SECONDS})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300
    ENVIRONMENT "${VANTREL_SANITIZER_ENV}")
endfunction()

# vantrel_bench(name SOURCES ... LIBS ...): a program that prints figures, never a test.
function(vantrel_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
endfunction()

# Adds every child folder of `parent` that has a CMakeLists.txt, so that a new
# test, bench or fuzz folder needs no edit of a shared file.
function(vantrel_add_child_folders parent)
  file(GLOB children LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/${parent}/*)
  list(SORT children)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${parent}/CMakeLists.txt)
    add_subdirectory(${PROJECT_SOURCE_DIR}/${parent} ${CMAKE_BINARY_DIR}/${parent})
  endif()
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      get_filename_component(leaf ${child} NAME)
      add_subdirectory(${child} ${CMAKE_BINARY_DIR}/${parent}/${leaf})
    endif()
  endforeach()
endfunction()
