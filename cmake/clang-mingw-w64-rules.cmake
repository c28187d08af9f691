# Link rules of cmake/clang-mingw-w64.cmake. lld 14 takes GNU ld's
# --major-image-version and --minor-image-version, which CMake gives every
# link, without a word and drops them: its own /version sets the image version.
foreach(lang C CXX)
  foreach(rule CREATE_SHARED_LIBRARY CREATE_SHARED_MODULE LINK_EXECUTABLE)
    if(DEFINED CMAKE_${lang}_${rule})
      string(REPLACE "-Wl,--major-image-version,<TARGET_VERSION_MAJOR>,--minor-image-version,<TARGET_VERSION_MINOR>"
             "-Wl,-Xlink=-version:<TARGET_VERSION_MAJOR>.<TARGET_VERSION_MINOR>"
             CMAKE_${lang}_${rule} "${CMAKE_${lang}_${rule}}")
    endif()
  endforeach()
endforeach()
