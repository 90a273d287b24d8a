# Header-only libraries of the build machine for the Windows cross builds.
#
# zpkhost uses CLI11, which Debian installs for the build machine only (/usr/include/CLI). A MinGW
# build must not see /usr/include, so the CLI11 headers alone are copied into the build folder and
# a package configuration for that copy is handed to find_package(CLI11).
if(NOT (CMAKE_CROSSCOMPILING AND WIN32))
  return()
endif()

find_path(ZPK_CLI11_INCLUDE_DIR CLI/CLI.hpp
          PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT ZPK_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 headers not found: install Debian's libcli11-dev")
endif()

set(zpk_staged "${CMAKE_BINARY_DIR}/staged")
file(COPY "${ZPK_CLI11_INCLUDE_DIR}/CLI" DESTINATION "${zpk_staged}/include")
file(WRITE "${zpk_staged}/cmake/CLI11/CLI11Config.cmake" [=[
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_COMPILE_FEATURES cxx_std_11
    INTERFACE_INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/../../include")
endif()
set(CLI11_FOUND TRUE)
]=])
set(CLI11_DIR "${zpk_staged}/cmake/CLI11" CACHE PATH "CLI11 package for the cross build" FORCE)
