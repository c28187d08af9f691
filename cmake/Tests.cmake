# The configuration library's behaviours that its contract leaves open; the
# plug-in suites run once against each (tests/integration/library_profiles.cpp).
set(KRONEL_LIBRARY_PROFILES default per-framework no-wait inline shared late-release adverse)

set(KRONEL_GTEST_RESULTS ${CMAKE_BINARY_DIR}/gtest-results)
file(MAKE_DIRECTORY ${KRONEL_GTEST_RESULTS})

set(kronel_results_path ${KRONEL_GTEST_RESULTS})
if(CMAKE_CROSSCOMPILING)
  # Wine's drive Z: is the Linux root; a bare /path would be taken as relative.
  set(kronel_results_path Z:${KRONEL_GTEST_RESULTS})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run;${CMAKE_BINARY_DIR}/wineprefix)
endif()

# A run of the executable as the CTest test `test`, with its XML report.
function(kronel_register_gtest test executable environment)
  add_test(NAME ${test} COMMAND ${executable})
  set_property(GLOBAL APPEND PROPERTY KRONEL_GTESTS ${test})
  set_tests_properties(${test} PROPERTIES TIMEOUT 600
    ENVIRONMENT "${environment}GTEST_OUTPUT=xml:${kronel_results_path}/${test}.xml")
endfunction()

# One GoogleTest executable is one CTest test; each writes an XML report that
# scripts/test adds up.
# With PROFILES it runs once per library profile named instead, as <name>.<profile>.
function(kronel_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROFILES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kronel_core ${ARG_LIBS} kronel_test_support GTest::gmock GTest::gtest_main)
  kronel_warnings(${name})
  if(NOT ARG_PROFILES)
    kronel_register_gtest(${name} ${name} "")
  endif()
  foreach(profile IN LISTS ARG_PROFILES)
    kronel_register_gtest(${name}.${profile} ${name} "KRONEL_LIBRARY_PROFILE=${profile};")
  endforeach()
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

# A GoogleTest executable that loads the built plug-in as the host does and
# serves it with the simulated engine and library, run once per library
# profile as <name>.<profile> (PROFILES narrows the list).
function(kronel_add_plugin_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PROFILES" ${ARGN})
  if(NOT ARG_PROFILES)
    set(ARG_PROFILES ${KRONEL_LIBRARY_PROFILES})
  endif()
  set(integration ${PROJECT_SOURCE_DIR}/tests/integration)
  kronel_add_gtest(${name} PROFILES ${ARG_PROFILES} SOURCES ${integration}/plugin.cpp ${integration}/road.cpp
    ${integration}/library_profiles.cpp ${ARG_SOURCES} LIBS kronel_test_ztrtsim kronel_test_kelsim)
  target_include_directories(${name} PRIVATE ${integration})
  add_dependencies(${name} kronel_ztprovider)
  # A full path on Linux: under the sanitizers the loader takes their runtime
  # for the caller and would not search the executable's folder.
  if(WIN32)
    set(plugin_path kronel_ztprovider.dll)
  else()
    set(plugin_path $<TARGET_FILE:kronel_ztprovider>)
  endif()
  target_compile_definitions(${name} PRIVATE "KRONEL_PLUGIN_PATH=\"${plugin_path}\"")
endfunction()

# A copy of a module under a name of its own in bin/, made before `test` is
# built: a module that nothing else holds, or that no search by name finds.
function(kronel_module_copy test target name)
  if(WIN32)
    set(file ${CMAKE_BINARY_DIR}/bin/${name}.dll)
  else()
    set(file ${CMAKE_BINARY_DIR}/bin/lib${name}.so)
  endif()
  add_custom_command(OUTPUT ${file} COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${file}
    DEPENDS ${target})
  add_custom_target(${name}_copy DEPENDS ${file})
  add_dependencies(${test} ${name}_copy)
endfunction()
