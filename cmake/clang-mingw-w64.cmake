# Cross-compiles for Windows x64 with clang and lld, against the C and C++
# run-times of MinGW-w64's posix thread variant: the same libraries that the
# GCC toolchain (mingw-w64.cmake) links. cmake/Package.cmake gives the
# plug-in CodeView and a PDB.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-target.cmake)

# The GCC run-time folder (libstdc++, libgcc, crtbegin.o) and its headers:
# clang cannot tell 12-posix from 12-win32 by itself.
execute_process(COMMAND ${triple}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT EXISTS "${libgcc}")
  message(FATAL_ERROR "${triple}-g++-posix not found: run scripts/bootstrap")
endif()
get_filename_component(gcc_dir "${libgcc}" DIRECTORY)

# Every LLVM tool from clang's own folder, so that they match it.
find_program(clang_path clang++ REQUIRED)
get_filename_component(clang_path "${clang_path}" REALPATH)
get_filename_component(llvm_bin "${clang_path}" DIRECTORY)

set(CMAKE_C_COMPILER ${llvm_bin}/clang)
set(CMAKE_CXX_COMPILER ${llvm_bin}/clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${llvm_bin}/llvm-windres)
set(CMAKE_AR ${llvm_bin}/llvm-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${llvm_bin}/llvm-ranlib CACHE FILEPATH "")
set(CMAKE_OBJCOPY ${llvm_bin}/llvm-objcopy CACHE FILEPATH "")
set(CMAKE_STRIP ${llvm_bin}/llvm-strip CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${triple}-dlltool)
set(CMAKE_SYSROOT /usr/${triple})

set(cxx_includes "")
foreach(dir ${gcc_dir}/include/c++ ${gcc_dir}/include/c++/${triple} ${gcc_dir}/include/c++/backward)
  string(APPEND cxx_includes " -stdlib++-isystem ${dir}")
endforeach()
# GCC's libstdc++ reaches its thread-local variables (std::call_once's among
# them) through emutls; clang's native TLS would not link to them.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-femulated-tls${cxx_includes}")
# -B finds crtbegin.o; -pthread adds winpthread, which that libstdc++ needs.
set(link_flags "-fuse-ld=lld -B${gcc_dir} -L${gcc_dir} -pthread")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "${link_flags}")
endforeach()
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64-rules.cmake)
