# kova_library(NAME DEPS dep...): the static library of one subsystem, built from every .cpp
# in its folder. Headers are included as "subsystem/file.h" from src/.
function(kova_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(kova_${name} STATIC ${sources})
  target_include_directories(kova_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(kova_${name} PUBLIC ${ARG_DEPS})
endfunction()

# kova_test(NAME LIBS lib...): one test program from every .cpp in tests/NAME.
function(kova_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  add_executable(test_${name} ${sources})
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE ${ARG_LIBS} kova_testutil GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND test_${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "KOVA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
