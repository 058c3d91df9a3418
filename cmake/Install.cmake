# The installable package: libraries, public headers, the plug-in, vellum, the examples, a CMake
# package (find_package(Vellum2D) -> Vellum2D::host, Vellum2D::path, ...) and pkg-config files.
include(CMakePackageConfigHelpers)

set(VELLUM_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vellum2D)
set(VELLUM_HEADER_DIR ${CMAKE_INSTALL_INCLUDEDIR}/vellum2d)
# pkg-config modules the static core libraries pass on to whoever links them (name|modules).
file(RELATIVE_PATH VELLUM_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" VELLUM_PC_TO_PREFIX "${VELLUM_PC_TO_PREFIX}")
set(VELLUM_PKG_MODULES "CAIRO|cairo;FONTS|freetype2|harfbuzz|fontconfig;EXPAT|expat")

# vellum_install_library(TARGET folder [REQUIRES pc modules...]): installs the library of `folder`
# as Vellum2D::folder with the folder's headers and a vellum2d-folder.pc.
function(vellum_install_library target folder)
  cmake_parse_arguments(ARG "" "" "REQUIRES" ${ARGN})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${folder})
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${VELLUM_HEADER_DIR}>)
  install(TARGETS ${target} EXPORT Vellum2DTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/ DESTINATION ${VELLUM_HEADER_DIR}/${folder}
          FILES_MATCHING PATTERN "*.h" PATTERN "*.inc")
  set(PC_NAME ${folder})
  get_target_property(PC_LIB ${target} OUTPUT_NAME)
  if(NOT PC_LIB)
    set(PC_LIB ${target})
  endif()
  list(JOIN ARG_REQUIRES " " PC_REQUIRES)
  set(PC_REQUIRES_PRIVATE "")
  if(folder STREQUAL "host")
    set(PC_REQUIRES_PRIVATE "libpng")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/vellum2d.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/vellum2d-${folder}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/vellum2d-${folder}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

vellum_install_library(vellum_host host)
vellum_install_library(vellum_path path REQUIRES vellum2d-host)
vellum_install_library(vellum_text text REQUIRES vellum2d-path freetype2 harfbuzz fontconfig)
vellum_install_library(vellum_mesh mesh REQUIRES vellum2d-path)
vellum_install_library(vellum_render render REQUIRES vellum2d-path cairo)
vellum_install_library(vellum_svg svg REQUIRES vellum2d-render vellum2d-text expat)

# The plug-in and the program find the host library next to them once installed.
set_target_properties(Vellum2D PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
install(TARGETS Vellum2D EXPORT Vellum2DTargets LIBRARY DESTINATION ${VELLUM_PLUGIN_DESTINATION})
set_target_properties(Vellum2D PROPERTIES EXPORT_NAME plugin)
if(TARGET vellum)
  set_target_properties(vellum PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

install(EXPORT Vellum2DTargets NAMESPACE Vellum2D:: DESTINATION ${VELLUM_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/Vellum2DConfig.cmake.in
  ${PROJECT_BINARY_DIR}/Vellum2DConfig.cmake
  INSTALL_DESTINATION ${VELLUM_PACKAGE_DIR}
  PATH_VARS VELLUM_PLUGIN_DESTINATION)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Vellum2DConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/Vellum2DConfig.cmake ${PROJECT_BINARY_DIR}/Vellum2DConfigVersion.cmake
        DESTINATION ${VELLUM_PACKAGE_DIR})
