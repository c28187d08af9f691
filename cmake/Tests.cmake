set(KRONEL_GTEST_RESULTS ${CMAKE_BINARY_DIR}/gtest-results)
file(MAKE_DIRECTORY ${KRONEL_GTEST_RESULTS})

set(kronel_results_path ${KRONEL_GTEST_RESULTS})
if(CMAKE_CROSSCOMPILING)
  # Wine's drive Z: is the Linux root; a bare /path would be taken as relative.
  set(kronel_results_path Z:${KRONEL_GTEST_RESULTS})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run;${CMAKE_BINARY_DIR}/wineprefix)
endif()

# One GoogleTest executable is one CTest test; each writes an XML report that
# scripts/test adds up.
function(kronel_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kronel_core ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  kronel_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_property(GLOBAL APPEND PROPERTY KRONEL_GTESTS ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "GTEST_OUTPUT=xml:${kronel_results_path}/${name}.xml" TIMEOUT 600)
endfunction()

# tests/<name>/ becomes test_<name>, unless it has a CMakeLists.txt of its own.
function(kronel_add_test_folders root)
  file(GLOB dirs LIST_DIRECTORIES true ${root}/*)
  foreach(dir IN LISTS dirs)
    if(NOT IS_DIRECTORY ${dir})
      continue()
    endif()
    if(EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
      continue()
    endif()
    get_filename_component(name ${dir} NAME)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(sources)
      kronel_add_gtest(test_${name} SOURCES ${sources})
    endif()
  endforeach()
endfunction()

# Called last: the list of GoogleTest executables whose reports must exist.
function(kronel_write_expected_reports)
  get_property(names GLOBAL PROPERTY KRONEL_GTESTS)
  list(JOIN names "\n" text)
  file(WRITE ${KRONEL_GTEST_RESULTS}/expected.txt "${text}\n")
endfunction()
