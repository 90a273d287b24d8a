# zpk_add_plugin(NAME <name> TABLE <functions.inc> QUERIES <query exports...> [EXTRA_EXPORTS <...>]
#                SOURCES <sources...>)
#
# Makes a plug-in module of this interface: a loadable module named exactly <name> (no "lib"
# prefix: <name>.so, <name>.dll), compiled with the floating-point rules the results depend on, and
# exporting exactly the query entry points named in QUERIES, any EXTRA_EXPORTS, and every calculation
# function of the library's table. The table file is the one list of the library's functions: each
# row is ZPK_FUNCTION(Name, ...) or ZPK_FUNCTION_ARGS(Name, ...), and the export list of the linker
# is generated from those rows, so a function's name is written once.
#
# Sets <name>_EXPORTS (in the caller's scope) to the list of exported names, and adds the test
# <name>_exports (run by ctest where testing is enabled) that reads the built module with binutils:
# exactly those exports, undecorated; on 32-bit x86 each one's callee-clears return; on Windows
# nothing imported but system DLLs. NO_EXPORT_TEST leaves the test out.

function(zpk_read_table_exports table out_var)
  file(STRINGS "${table}" rows REGEX "^[ \t]*ZPK_FUNCTION(_ARGS)?\\(")
  set(names "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^[ \t]*ZPK_FUNCTION(_ARGS)?\\([ \t]*([A-Za-z_][A-Za-z0-9_]*).*$" "\\2" name "${row}")
    list(APPEND names "${name}")
  endforeach()
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()

# Floating-point rules of every plug-in: no contraction into fused multiply-adds, no fast-math, and
# SSE2 arithmetic on 32-bit x86 (x87 extended precision changes results).
function(zpk_numeric_flags target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /fp:precise)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      target_compile_options(${target} PRIVATE /arch:SSE2)
    endif()
  else()
    target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|AMD64|x86_64)$")
      target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
    endif()
  endif()
endfunction()

function(zpk_add_plugin)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "NO_EXPORT_TEST" "NAME;TABLE" "QUERIES;EXTRA_EXPORTS;SOURCES")
  if(NOT ARG_NAME OR NOT ARG_TABLE OR NOT ARG_SOURCES)
    message(FATAL_ERROR "zpk_add_plugin needs NAME, TABLE and SOURCES")
  endif()
  get_filename_component(table "${ARG_TABLE}" ABSOLUTE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
  zpk_read_table_exports("${table}" functions)
  set(exports ${ARG_QUERIES} ${ARG_EXTRA_EXPORTS} ${functions})

  add_library(${ARG_NAME} MODULE ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ZPK::interface)
  target_include_directories(${ARG_NAME} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
  set_target_properties(${ARG_NAME} PROPERTIES
    PREFIX ""
    OUTPUT_NAME "${ARG_NAME}"
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  zpk_numeric_flags(${ARG_NAME})

  set(gen "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_exports")
  if(WIN32)
    set(def "LIBRARY ${ARG_NAME}.dll\nEXPORTS\n")
    foreach(name IN LISTS exports)
      string(APPEND def "    ${name}\n")
    endforeach()
    file(CONFIGURE OUTPUT "${gen}.def" CONTENT "${def}")
    target_sources(${ARG_NAME} PRIVATE "${gen}.def")
    if(MINGW)
      # The C and C++ runtimes go into the DLL: it must load on a machine that has only Windows.
      target_link_options(${ARG_NAME} PRIVATE -static -static-libgcc -static-libstdc++
                          -Wl,--enable-stdcall-fixup)
    endif()
  else()
    set(script "{\n  global:\n")
    foreach(name IN LISTS exports)
      string(APPEND script "    ${name};\n")
    endforeach()
    string(APPEND script "  local:\n    *;\n};\n")
    file(CONFIGURE OUTPUT "${gen}.map" CONTENT "${script}")
    target_link_options(${ARG_NAME} PRIVATE "LINKER:--version-script=${gen}.map"
                        "LINKER:--no-undefined")
    set_property(TARGET ${ARG_NAME} APPEND PROPERTY LINK_DEPENDS "${gen}.map")
  endif()

  if(NOT ARG_NO_EXPORT_TEST)
    zpk_add_export_test(${ARG_NAME} "${exports}")
  endif()
  set(${ARG_NAME}_EXPORTS "${exports}" PARENT_SCOPE)
endfunction()

# Argument bytes each entry point removes on 32-bit x86: the queries by their signatures, the load
# notification (module, reason, reserved), and six record pointers for every calculation function.
set(ZPK_QUERY_RET_BYTES "ZPKInfo=4,ZPKNthFunction=8,ZPKNthArg=12,ZPKNthCustomString=16,DLLMAIN=12")
set(ZPK_CALCULATION_RET_BYTES 24)
set(ZPK_CHECK_MODULE_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/ZpkCheckModule.cmake")

function(zpk_add_export_test name exports)
  if(NOT CMAKE_OBJDUMP OR NOT CMAKE_NM)
    message(STATUS "zpk_add_plugin: no binutils found, so no export test for ${name}")
    return()
  endif()
  if(WIN32)
    set(format PE)
  else()
    set(format ELF)
  endif()
  set(ret_args "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    set(ret_args "-DRET_BYTES=${ZPK_QUERY_RET_BYTES}" "-DDEFAULT_RET_BYTES=${ZPK_CALCULATION_RET_BYTES}")
  endif()
  add_test(NAME ${name}_exports
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DNM=${CMAKE_NM} -DFORMAT=${format}
                   -DFILE=$<TARGET_FILE:${name}> "-DEXPORTS=${exports}" ${ret_args}
                   -P "${ZPK_CHECK_MODULE_SCRIPT}")
endfunction()
