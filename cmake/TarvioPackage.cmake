# What `cmake --install` installs and how: the programs, the library with
# its public header, the modules it loads by name, the files other builds
# find it with (pkg-config and a CMake package), documents, man pages, the
# bash completion, the desktop entry with its icon, and the Debian package
# that `cpack -G DEB` makes of all of it. Included at the end of the top
# folder, when every target exists. The places are those of
# cmake/TarvioInstallDirs.cmake.
include(CMakePackageConfigHelpers)

set(TARVIO_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# The library carries a version and an ABI name, as any installed library.
set_target_properties(tarvio PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

# The library finds its modules and the user guide relative to its own
# folder (runtime/module_path.cpp); in the build folder they sit beside it.
set_property(
  SOURCE ${CMAKE_SOURCE_DIR}/runtime/module_path.cpp
  APPEND
  PROPERTY COMPILE_DEFINITIONS TARVIO_MODULE_SUBDIR="${TARVIO_MODULEDIR_FROM_LIB}"
           TARVIO_DOC_SUBDIR="${TARVIO_DOCDIR_FROM_LIB}")

# Installed files find the library and the modules relative to themselves.
set(programs tarvio-cli tarvio-unattended)
set(modules hwIO Orv_ExportMx tarviomx)
set_target_properties(${programs} PROPERTIES INSTALL_RPATH "$ORIGIN/${TARVIO_LIBDIR_FROM_BIN}")
set_target_properties(${modules} PROPERTIES INSTALL_RPATH "$ORIGIN;$ORIGIN/${TARVIO_LIBDIR_FROM_MODULEDIR}")

install(TARGETS ${programs} tarvio-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tarvio LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS ${modules} LIBRARY DESTINATION ${TARVIO_INSTALL_MODULEDIR} RUNTIME DESTINATION
                                                                          ${TARVIO_INSTALL_MODULEDIR})
if(TARGET tarvio-desktop)
  set_target_properties(tarvio-desktop PROPERTIES INSTALL_RPATH
                                                  "$ORIGIN/${TARVIO_LIBDIR_FROM_BIN};$ORIGIN/${TARVIO_MODULEDIR_FROM_BIN}")
  set_target_properties(tarvio-qtdisplays PROPERTIES INSTALL_RPATH "$ORIGIN/${TARVIO_LIBDIR_FROM_MODULEDIR}")
  install(TARGETS tarvio-desktop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS tarvio-qtdisplays LIBRARY DESTINATION ${TARVIO_INSTALL_MODULEDIR})
endif()

# The public C header, the generated calling forms and the array interface
# they include, side by side as the header expects.
install(FILES ${CMAKE_SOURCE_DIR}/include/tarvio/tarvio.h ${CMAKE_BINARY_DIR}/generated/include/tarvio/tarvio_forms.h
              ${CMAKE_SOURCE_DIR}/plugin/mxarray/mxarray.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tarvio)

# pkg-config: the prefix is taken from the file's own place, so the tree
# works under any --prefix or DESTDIR.
file(RELATIVE_PATH TARVIO_PC_PREFIX_FROM_PCDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" TARVIO_PC_PREFIX_FROM_PCDIR "${TARVIO_PC_PREFIX_FROM_PCDIR}")
configure_file(${TARVIO_PACKAGING_DIR}/tarvio.pc.in ${CMAKE_BINARY_DIR}/packaging/tarvio.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tarvio.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# find_package(Tarvio) gives the imported target Tarvio::tarvio.
configure_package_config_file(${TARVIO_PACKAGING_DIR}/TarvioConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/packaging/TarvioConfig.cmake INSTALL_DESTINATION ${TARVIO_INSTALL_CMAKEDIR}
                              PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/TarvioConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/TarvioConfig.cmake ${CMAKE_BINARY_DIR}/packaging/TarvioConfigVersion.cmake
        DESTINATION ${TARVIO_INSTALL_CMAKEDIR})

# Documents; the Help menu opens user-guide.md from the documentation folder.
file(GLOB doc_pages ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${doc_pages} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Man pages, written from the programs' own --help texts whenever a program
# changes, so the two cannot drift apart.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(man_dir ${CMAKE_BINARY_DIR}/man)
set(man_programs tarvio-cli tarvio-sim tarvio-unattended)
set(man_pages ${man_dir}/tarvio-cli.1 ${man_dir}/tarvio-sim.1 ${man_dir}/tarvio-unattended.1)
if(TARGET tarvio-desktop)
  list(APPEND man_programs tarvio-desktop)
  list(APPEND man_pages ${man_dir}/tarvio.1)
endif()
set(man_commands)
foreach(program ${man_programs})
  list(APPEND man_commands $<TARGET_FILE:${program}>)
endforeach()
add_custom_command(
  OUTPUT ${man_pages}
  COMMAND Python3::Interpreter ${TARVIO_PACKAGING_DIR}/gen_man.py --version ${PROJECT_VERSION} --out ${man_dir}
          ${man_commands}
  DEPENDS ${TARVIO_PACKAGING_DIR}/gen_man.py ${man_programs} hwIO Orv_ExportMx
  COMMENT "Writing the man pages from the programs' --help texts"
  VERBATIM)
add_custom_target(tarvio_man ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Bash completion, loaded on demand by bash-completion for tarvio-cli.
install(FILES ${TARVIO_PACKAGING_DIR}/tarvio-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME tarvio-cli)

# The desktop entry and the program's icon, rendered from the mark the
# program paints for its splash screen and about box.
if(TARGET tarvio_desktop_view)
  add_executable(tarvio-icon ${TARVIO_PACKAGING_DIR}/render_icon.cpp)
  target_link_libraries(tarvio-icon PRIVATE tarvio_desktop_view)
  set(icon_dir ${CMAKE_BINARY_DIR}/icons)
  set(icon_sizes 32 48 64 128 256)
  set(icons)
  foreach(size ${icon_sizes})
    list(APPEND icons ${icon_dir}/${size}/tarvio.png)
  endforeach()
  add_custom_command(
    OUTPUT ${icons}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:tarvio-icon> ${icon_dir} ${icon_sizes}
    DEPENDS tarvio-icon
    COMMENT "Rendering the program's icon"
    VERBATIM)
  add_custom_target(tarvio_icons ALL DEPENDS ${icons})
  foreach(size ${icon_sizes})
    install(FILES ${icon_dir}/${size}/tarvio.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${TARVIO_PACKAGING_DIR}/tarvio.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# The Python bindings add their own install() calls in python/, into
# TARVIO_INSTALL_PYTHONDIR; the Debian package below takes whatever is
# installed.

# cpack -G DEB in the build folder: one package for /usr, its Depends
# computed by dpkg-shlibdeps from the shared libraries the installed files
# use.
set(CPACK_PACKAGE_NAME tarvio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "IEEE 802.11a/b/g test-waveform generator")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvio generates IEEE 802.11a/b/g test waveforms (OFDM, DSSS, CCK, PBCC and\nERP-PBCC), plays them on a vector signal generator over SCPI, writes waveform\nfiles and checks them with built-in receivers.")
set(CPACK_PACKAGE_CONTACT "Tarvio maintainers <tarvio@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TARVIO_INSTALL_MODULEDIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, soapysdr-tools")
# The Python package (when built) is a module of Debian's python3 and hands
# its samples over as numpy arrays; the programs need neither.
if(TARVIO_PYTHON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy")
endif()
set(CPACK_GENERATOR DEB)
include(CPack)
