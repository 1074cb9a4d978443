# Warnings for our own targets only; third-party headers come in as SYSTEM.
function(kavel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KAVEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kavel_library(name SOURCES ... LIBS ...): a static library of one layer.
function(kavel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  kavel_warnings(${name})
endfunction()

# kavel_test(name SOURCES ... LIBS ... [QT]): one GoogleTest executable, registered with CTest.
function(kavel_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  kavel_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(ARG_QT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# True when KAVEL_ONLY is empty or names the folder (the collecting folders
# tests/, tools/ and bench/ always pass; their children are checked by name).
function(kavel_is_wanted folder result)
  if(NOT KAVEL_ONLY OR folder IN_LIST KAVEL_ONLY OR folder MATCHES "^(tests|tools|bench)$")
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()
