# kronel::boost: Boost headers and Boost.Thread for either build.
add_library(kronel_boost INTERFACE)
add_library(kronel::boost ALIAS kronel_boost)
target_compile_definitions(kronel_boost INTERFACE
  BOOST_THREAD_PROVIDES_SIGNATURE_PACKAGED_TASK BOOST_CHRONO_HEADER_ONLY BOOST_ALL_NO_LIB)

if(WIN32)
  # MinGW has no Boost.Thread package; scripts/bootstrap fetches Debian's sources.
  set(boost_deps ${PROJECT_SOURCE_DIR}/.deps)
  set(thread_src ${boost_deps}/boost-thread/libs/thread/src)
  if(NOT EXISTS ${thread_src}/win32/thread.cpp)
    message(FATAL_ERROR "Boost.Thread sources missing in ${thread_src}: run scripts/bootstrap")
  endif()
  add_library(kronel_boost_thread STATIC
    ${thread_src}/win32/thread.cpp ${thread_src}/win32/thread_primitives.cpp
    ${thread_src}/win32/tss_pe.cpp ${thread_src}/future.cpp)
  target_include_directories(kronel_boost_thread SYSTEM PUBLIC ${boost_deps}/boost-include)
  target_compile_definitions(kronel_boost_thread
    PUBLIC BOOST_THREAD_PROVIDES_SIGNATURE_PACKAGED_TASK BOOST_THREAD_USE_LIB BOOST_CHRONO_HEADER_ONLY
           BOOST_ALL_NO_LIB
    PRIVATE BOOST_THREAD_BUILD_LIB)
  target_compile_options(kronel_boost_thread PRIVATE -w)
  target_link_libraries(kronel_boost INTERFACE kronel_boost_thread)
else()
  find_package(Boost 1.74 REQUIRED COMPONENTS thread)
  find_package(Threads REQUIRED)
  target_link_libraries(kronel_boost INTERFACE Boost::headers Boost::thread Threads::Threads)
endif()
