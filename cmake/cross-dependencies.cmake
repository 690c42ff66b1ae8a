# Dependencies of a cross build for Windows, where the build machine's
# packages cannot be used as they are.

# CLI11 and nlohmann-json are header-only: their headers are copied into a
# folder of their own, so the Windows compiler sees them and nothing else of
# the build machine's /usr/include.
set(EMBERLINE_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/install-deps.sh")
  endif()
  file(COPY /usr/include/${dir} DESTINATION ${EMBERLINE_HOST_HEADERS})
endforeach()
add_library(emberline_host_headers INTERFACE)
target_include_directories(emberline_host_headers SYSTEM INTERFACE ${EMBERLINE_HOST_HEADERS})
add_library(CLI11::CLI11 ALIAS emberline_host_headers)
add_library(nlohmann_json::nlohmann_json ALIAS emberline_host_headers)

# GoogleTest has no Windows package: build Debian's sources in the tree.
if(EMBERLINE_BUILD_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
