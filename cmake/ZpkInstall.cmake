# What `cmake --install` puts under the prefix: the SDK for plug-ins of this interface.
#
#   include/zpk/zpk.h, include/zpk/plugin.hpp     the interface header and the plug-in helpers
#   bin/zpkhost                                   the command-line host (when it is built)
#   lib/cmake/ZPK/                                the CMake package ZPK
#
# find_package(ZPK) then gives the header-only target ZPK::interface, the imported executable
# ZPK::zpkhost, and zpk_add_plugin: the same ZpkPlugin.cmake that builds our own libraries.
# The package version is the project's, read from the VERSION file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZPK_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/ZPK" CACHE STRING
    "Where the CMake package ZPK is installed, relative to the prefix")

install(FILES "${PROJECT_SOURCE_DIR}/include/zpk/zpk.h" "${PROJECT_SOURCE_DIR}/include/zpk/plugin.hpp"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/zpk")

set_target_properties(zpk_interface PROPERTIES EXPORT_NAME interface)
install(TARGETS zpk_interface EXPORT ZPKTargets)
if(TARGET zpkhost)
  install(TARGETS zpkhost EXPORT ZPKTargets RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()
install(EXPORT ZPKTargets NAMESPACE ZPK:: DESTINATION "${ZPK_INSTALL_CMAKEDIR}")

configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/ZPKConfig.cmake.in"
                              "${PROJECT_BINARY_DIR}/package/ZPKConfig.cmake"
                              INSTALL_DESTINATION "${ZPK_INSTALL_CMAKEDIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/package/ZPKConfigVersion.cmake"
                                 VERSION "${PROJECT_VERSION}" COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/package/ZPKConfig.cmake"
              "${PROJECT_BINARY_DIR}/package/ZPKConfigVersion.cmake"
              "${CMAKE_CURRENT_LIST_DIR}/ZpkPlugin.cmake"
              "${CMAKE_CURRENT_LIST_DIR}/ZpkCheckModule.cmake"
        DESTINATION "${ZPK_INSTALL_CMAKEDIR}")
