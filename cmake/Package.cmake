# The release package (cmake --install, cpack): plugin/ holds the product
# alone, testbed/ the simulated engine and library, the tool and its files,
# so that no copy of plugin/ can bring the simulation into a host.
install(PROGRAMS $<TARGET_FILE:kronel_ztprovider> DESTINATION plugin)
install(CODE "set(kronel_plugin_file \"$<TARGET_FILE_NAME:kronel_ztprovider>\")
set(kronel_objcopy \"${CMAKE_OBJCOPY}\")
set(kronel_source_date_epoch \"${KRONEL_SOURCE_DATE_EPOCH}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/SplitDebug.cmake)

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
