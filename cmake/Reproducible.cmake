# Builds of one commit give the same bytes wherever the tree and the build
# folder lie: no time stamps, no absolute paths in the objects.
option(KRONEL_REPRODUCIBLE "Keep time stamps and build paths out of the binaries" OFF)
# A build folder keeps the compilers it was first configured with, whatever
# toolchain its preset names now.
if(CMAKE_TOOLCHAIN_FILE)
  get_filename_component(asked "${CMAKE_TOOLCHAIN_FILE}" REALPATH)
  get_filename_component(used "${KRONEL_TOOLCHAIN_FILE}" REALPATH)
  if(NOT asked STREQUAL used)
    message(FATAL_ERROR "${PROJECT_BINARY_DIR} was configured with another toolchain than "
                        "${CMAKE_TOOLCHAIN_FILE}: delete that folder and configure again")
  endif()
endif()

# clang for Windows writes CodeView and lld a PDB (cmake/clang-mingw-w64.cmake).
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(KRONEL_CODEVIEW ON)
else()
  set(KRONEL_CODEVIEW OFF)
endif()

if(KRONEL_REPRODUCIBLE AND KRONEL_CODEVIEW)
  # The command lines that clang and lld record in the PDB name the tree and
  # the build folder: every compile and link sees them as relative paths.
  foreach(lang C CXX)
    set(CMAKE_${lang}_COMPILER_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/relative-paths ${PROJECT_SOURCE_DIR})
    set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/relative-paths ${PROJECT_SOURCE_DIR})
  endforeach()
  add_compile_options(-ffile-compilation-dir=. -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
  # /Brepro: the PE time stamp and the PDB's GUID are hashes of the content.
  add_link_options(-Wl,-Xlink=-Brepro -Wl,-Xlink=-pdbsourcepath:.)
elseif(KRONEL_REPRODUCIBLE)
  # Sources relative to the tree; the build folder, which may lie inside the
  # tree, maps last so that it wins.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
  if(WIN32)
    add_link_options(-Wl,--no-insert-timestamp)
  else()
    add_link_options(-Wl,--build-id=sha1)
  endif()
endif()

# Archives without member time stamps, owners or modes.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

# The time stamp objcopy writes into the stripped PE: the commit's, unless the
# caller fixes one.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KRONEL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE KRONEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_result ERROR_QUIET)
  if(NOT git_result EQUAL 0 OR NOT KRONEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(KRONEL_SOURCE_DATE_EPOCH 0)
  endif()
endif()
