# skorva_add_library(name "sources" public-deps... ) : a static library of the given sources; the last
# argument that names a PkgConfig:: target is linked privately.
function(skorva_add_library name sources)
  set(deps ${ARGN})
  if(NOT sources)
    # A folder whose sources are still to come builds as an empty library.
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  foreach(dep IN LISTS deps)
    if(dep MATCHES "^PkgConfig::")
      target_link_libraries(${name} PRIVATE ${dep})
    else()
      target_link_libraries(${name} PUBLIC ${dep})
    endif()
  endforeach()
endfunction()

# skorva_add_test(name "sources" deps...) : one GoogleTest executable, registered with ctest.
function(skorva_add_test name sources)
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()
