# cmake -DBUILD_DIR=<our build> -DTEMPLATE=<examples/plugin-template> -DWORK=<scratch folder>
#       -DGENERATOR=<generator> [-DMAKE_PROGRAM=<make>] -DBUILD_TYPE=<config>
#       [-DTOOLCHAIN=<toolchain file>] [-DCXX_COMPILER=<compiler>] [-DEMULATOR=<runner>]
#       -DMODE=<run|files> -DNM=<nm> -DOBJDUMP=<objdump> -DCHECK_MODULE=<ZpkCheckModule.cmake>
#       [-DCALLEE_CLEARS=ON] -DSOURCE_DIR=<our sources>
#       -P template_against_installed_sdk.cmake
#
# What a plug-in author does with the SDK, from scratch in WORK:
#  1. `cmake --install` our build into a fresh prefix;
#  2. copies the plug-in template out of our tree and configures it there with find_package(ZPK),
#     finding the package in that prefix and nowhere else;
#  3. builds it;
#  4. reads the module's exports (and returns and imports) with binutils; MODE run: zpkhost of
#     the prefix checks the module and shows it, and the template's own tests run. MODE files is
#     for a build whose programs cannot run here (win32).
# The installed package must not refer to our source or build folders.
cmake_minimum_required(VERSION 3.20)

foreach(var BUILD_DIR TEMPLATE WORK GENERATOR BUILD_TYPE MODE SOURCE_DIR NM OBJDUMP CHECK_MODULE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "template_against_installed_sdk.cmake needs -D${var}=...")
  endif()
endforeach()

function(run what)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "OUTPUT" "COMMAND")
  list(JOIN ARG_COMMAND " " shown)
  message(STATUS "${what}: ${shown}")
  execute_process(COMMAND ${ARG_COMMAND} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc})\n${out}\n${err}")
  endif()
  if(ARG_OUTPUT)
    set(${ARG_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

set(prefix "${WORK}/prefix")
set(src "${WORK}/src")
set(bin "${WORK}/build")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# ---- 1. Install ---------------------------------------------------------------------------------
run("install" COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                      --config "${BUILD_TYPE}")
foreach(file zpk/zpk.h zpk/plugin.hpp)
  if(NOT EXISTS "${prefix}/include/${file}")
    message(FATAL_ERROR "the install has no include/${file}")
  endif()
endforeach()
file(GLOB_RECURSE package_files "${prefix}/*.cmake")
if(NOT package_files)
  message(FATAL_ERROR "the install has no CMake package")
endif()
foreach(file IN LISTS package_files)
  file(READ "${file}" text)
  foreach(ours "${SOURCE_DIR}" "${BUILD_DIR}")
    string(FIND "${text}" "${ours}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${file} refers to ${ours}: the installed package must stand alone")
    endif()
  endforeach()
endforeach()

# The package carries the one version number of the SDK, the VERSION file's.
file(READ "${SOURCE_DIR}/VERSION" version)
string(STRIP "${version}" version)
file(GLOB_RECURSE version_file "${prefix}/ZPKConfigVersion.cmake")
if(NOT version_file)
  message(FATAL_ERROR "the install has no ZPKConfigVersion.cmake")
endif()
file(STRINGS "${version_file}" package_version REGEX "^set\\(PACKAGE_VERSION ")
if(NOT package_version STREQUAL "set(PACKAGE_VERSION \"${version}\")")
  message(FATAL_ERROR "the package's version (${package_version}) is not VERSION's ${version}")
endif()

# ---- 2. Configure the template out of our tree ---------------------------------------------------
file(COPY "${TEMPLATE}/" DESTINATION "${src}")
set(configure "${CMAKE_COMMAND}" -S "${src}" -B "${bin}" -G "${GENERATOR}"
    "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    # No package registry; which package was found is checked below.
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
if(MAKE_PROGRAM)
  list(APPEND configure "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
endif()
if(TOOLCHAIN)
  # Our cross toolchains confine find_package to the target's root folder, where the prefix is
  # not: a cross build names the package folder itself.
  file(GLOB_RECURSE config "${prefix}/ZPKConfig.cmake")
  if(NOT config)
    message(FATAL_ERROR "the install has no ZPKConfig.cmake")
  endif()
  get_filename_component(config_dir "${config}" DIRECTORY)
  list(APPEND configure "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DZPK_DIR=${config_dir}")
else()
  list(APPEND configure "-DCMAKE_PREFIX_PATH=${prefix}")
endif()
if(NOT TOOLCHAIN AND CXX_COMPILER)
  list(APPEND configure "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
endif()
run("configure the template" COMMAND ${configure})
file(STRINGS "${bin}/CMakeCache.txt" zpk_dir REGEX "^ZPK_DIR:")
string(REGEX REPLACE "^ZPK_DIR:[A-Z]+=" "" zpk_dir "${zpk_dir}")
file(REAL_PATH "${zpk_dir}" zpk_dir)
file(REAL_PATH "${prefix}" real_prefix)
string(FIND "${zpk_dir}/" "${real_prefix}/" at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "find_package(ZPK) found ${zpk_dir}, not the package in ${prefix}")
endif()

# ---- 3. Build ------------------------------------------------------------------------------------
run("build the template" COMMAND "${CMAKE_COMMAND}" --build "${bin}" --config "${BUILD_TYPE}")
file(GLOB module "${bin}/MyPlugin.so" "${bin}/MyPlugin.dll" "${bin}/${BUILD_TYPE}/MyPlugin.dll")
if(NOT module)
  message(FATAL_ERROR "the template's build made no module MyPlugin.so or MyPlugin.dll in ${bin}")
endif()
list(GET module 0 module)

# ---- 4. Check the module -------------------------------------------------------------------------
# Exactly the template's entry points, undecorated; on 32-bit x86 each removes its arguments'
# bytes (Momentum takes six pointers); a DLL imports nothing a bare Windows lacks.
if(module MATCHES "\\.dll$")
  set(format PE)
else()
  set(format ELF)
endif()
set(returns "")
if(CALLEE_CLEARS)
  set(returns "-DRET_BYTES=ZPKInfo=4,ZPKNthFunction=8,ZPKNthArg=12" -DDEFAULT_RET_BYTES=24)
endif()
run("the exports of ${module}"
    COMMAND "${CMAKE_COMMAND}" "-DOBJDUMP=${OBJDUMP}" "-DNM=${NM}" "-DFORMAT=${format}"
            "-DFILE=${module}" "-DEXPORTS=ZPKInfo;ZPKNthFunction;ZPKNthArg;Momentum" ${returns}
            -P "${CHECK_MODULE}")

if(MODE STREQUAL "run")
  file(GLOB zpkhost "${prefix}/bin/zpkhost" "${prefix}/bin/zpkhost.exe")
  if(NOT zpkhost)
    message(FATAL_ERROR "the install has no bin/zpkhost")
  endif()
  run("zpkhost check" OUTPUT verdict COMMAND ${EMULATOR} "${zpkhost}" check "${module}")
  message(STATUS "${verdict}")
  run("zpkhost info" OUTPUT info COMMAND ${EMULATOR} "${zpkhost}" info "${module}")
  if(NOT info MATCHES "Momentum")
    message(FATAL_ERROR "zpkhost info does not list Momentum:\n${info}")
  endif()
  run("the template's own tests" COMMAND "${CMAKE_CTEST_COMMAND}" --test-dir "${bin}"
                                         --output-on-failure --no-tests=error -C "${BUILD_TYPE}")
endif()
message(STATUS "the template builds against the installed SDK in ${prefix}")
