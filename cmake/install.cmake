# Install rules: libzarvo.a, the public header with the headers it includes,
# a CMake package (find_package(zarvo) gives zarvo::zarvo) and zarvo.pc.

# The pkg-config modules behind the library's PkgConfig:: link targets, as
# PREFIX=modules; the package file makes the same targets again and zarvo.pc
# requires the same modules.
set(ZARVO_PKG_DEPENDENCIES
  "SDL2=sdl2" "X11=x11" "FONTS=freetype2 fontconfig" "VORBISFILE=vorbisfile" "MPG123=libmpg123"
  "THEORA=ogg theora" "FFMPEG=libavformat libavcodec libswscale libavutil")
# The modules of the libraries found through CMake's own find modules.
set(ZARVO_PC_FIND_MODULE_REQUIRES libpng zlib libjpeg)

# A program's headers: core/api.h and, transitively, every header of the
# source tree it includes, installed at the paths they are included by.
function(zarvo_collect_public_headers out)
  set(pending core/api.h)
  set(found)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${header})
      message(FATAL_ERROR "The public headers include ${header}, which is not a file of the source tree")
    endif()
    list(APPEND found ${header})
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" included "${line}")
      list(APPEND pending ${included})
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

zarvo_collect_public_headers(ZARVO_PUBLIC_HEADERS)
foreach(header IN LISTS ZARVO_PUBLIC_HEADERS)
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zarvo/${dir})
endforeach()

install(TARGETS zarvo EXPORT zarvoTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
set(ZARVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zarvo)
install(EXPORT zarvoTargets NAMESPACE zarvo:: DESTINATION ${ZARVO_CMAKE_DIR})

set(ZARVO_CONFIG_PKG_CHECKS "")
set(ZARVO_PC_REQUIRES ${ZARVO_PC_FIND_MODULE_REQUIRES})
# FFmpeg's modules name, for static linking, every codec library FFmpeg was
# built with, most of which a system holds as shared libraries only; zarvo.pc
# links FFmpeg's shared libraries by their own flags instead.
set(ZARVO_PC_LINKED_BY_FLAGS FFMPEG)
set(ZARVO_PC_LIBS_PRIVATE)
foreach(dependency IN LISTS ZARVO_PKG_DEPENDENCIES)
  string(REPLACE "=" ";" parts "${dependency}")
  list(GET parts 0 prefix)
  list(GET parts 1 modules)
  string(APPEND ZARVO_CONFIG_PKG_CHECKS "_zarvo_pkg_target(${prefix} ${modules})\n")
  if(prefix IN_LIST ZARVO_PC_LINKED_BY_FLAGS)
    list(APPEND ZARVO_PC_LIBS_PRIVATE ${${prefix}_LDFLAGS})
  else()
    string(REPLACE " " ";" modules "${modules}")
    list(APPEND ZARVO_PC_REQUIRES ${modules})
  endif()
endforeach()
list(REMOVE_DUPLICATES ZARVO_PC_REQUIRES)
list(JOIN ZARVO_PC_REQUIRES " " ZARVO_PC_REQUIRES)
list(APPEND ZARVO_PC_LIBS_PRIVATE -pthread)
list(JOIN ZARVO_PC_LIBS_PRIVATE " " ZARVO_PC_LIBS_PRIVATE)

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zarvoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zarvoConfig.cmake INSTALL_DESTINATION ${ZARVO_CMAKE_DIR})
# Before 1.0 a minor version may change the entries.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zarvoConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zarvoConfig.cmake ${PROJECT_BINARY_DIR}/zarvoConfigVersion.cmake
        DESTINATION ${ZARVO_CMAKE_DIR})

# zarvo.pc finds its prefix from where it lies, so `cmake --install --prefix`
# may put it anywhere.
file(RELATIVE_PATH ZARVO_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZARVO_PC_TO_PREFIX "${ZARVO_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zarvo.pc.in ${PROJECT_BINARY_DIR}/zarvo.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zarvo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
