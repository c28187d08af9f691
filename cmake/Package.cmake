# The release package (cmake --install, cpack): plugin/ holds the product
# alone, testbed/ the simulated engine and library, the tool and its files,
# so that no copy of plugin/ can bring the simulation into a host.
# The clang build for Windows ships a PDB and a symbol store (pdb); the
# others a DWARF file named in the plug-in's .gnu_debuglink (split).
if(KRONEL_CODEVIEW)
  set(KRONEL_PACKAGE_DEBUG pdb)
  # CodeView for the plug-in's own objects and Boost.Thread. The testbed and
  # the tests keep DWARF: they have thread_local variables, and clang 14's
  # CodeView names an emulated one by a symbol that never exists.
  get_property(plugin_targets DIRECTORY ${PROJECT_SOURCE_DIR}/src PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS plugin_targets ITEMS kronel_boost_thread)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(OBJECT|STATIC|SHARED)_LIBRARY$")
      target_compile_options(${target} PRIVATE -gcodeview)
    endif()
  endforeach()
  # The DLL names its PDB without a folder, as debuggers look for it.
  target_link_options(kronel_ztprovider PRIVATE -Wl,--pdb= -Wl,-Xlink=-pdbaltpath:%_PDB%)
else()
  set(KRONEL_PACKAGE_DEBUG split)
endif()

install(PROGRAMS $<TARGET_FILE:kronel_ztprovider> DESTINATION plugin)
install(CODE "set(kronel_plugin_file \"$<TARGET_FILE_NAME:kronel_ztprovider>\")
set(kronel_objcopy \"${CMAKE_OBJCOPY}\")
set(kronel_source_date_epoch \"${KRONEL_SOURCE_DATE_EPOCH}\")")
if(KRONEL_PACKAGE_DEBUG STREQUAL "pdb")
  find_program(KRONEL_OSSLSIGNCODE osslsigncode)
  install(FILES $<TARGET_FILE_DIR:kronel_ztprovider>/$<TARGET_FILE_BASE_NAME:kronel_ztprovider>.pdb
          DESTINATION plugin)
  install(CODE "set(kronel_osslsigncode \"${KRONEL_OSSLSIGNCODE}\")")
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/PdbPackage.cmake)
else()
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/SplitDebug.cmake)
endif()

install(TARGETS ztrt kelmorrow kronel-names
        RUNTIME DESTINATION testbed LIBRARY DESTINATION testbed
        ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)

# cpack packages what is built; the package needs only the targets above.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(kronel_package_files)
add_dependencies(kronel_package_files kronel_ztprovider ztrt kelmorrow kronel-names)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
