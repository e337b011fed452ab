# Where `cmake --install` puts things, set before any folder is added so that
# every folder (and the Python module's) can use the same places. All are
# relative to the install prefix, so one build installs under any --prefix
# or DESTDIR, and the installed programs find each other from their own
# location.
include(GNUInstallDirs)

# The modules loaded by name (transport module, export plug-in, display
# library) and the argument-array library the plug-in links: a private folder
# below the library's, found from the installed library at run time.
set(TARVIO_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/tarvio)
# Debian's python3 looks for modules in lib/python3.X/dist-packages below
# both /usr and /usr/local; the Python bindings install into it.
set(tarvio_py_version 3)
if(EXISTS /usr/bin/python3)
  execute_process(COMMAND /usr/bin/python3 -c "import sys; print('%d.%d' % sys.version_info[:2])"
                  OUTPUT_VARIABLE tarvio_py_version OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(TARVIO_INSTALL_PYTHONDIR lib/python${tarvio_py_version}/dist-packages CACHE STRING
    "Install folder of the Python module, below the prefix")
set(TARVIO_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tarvio)

# Paths relative to the folder of the installed library (compiled into the
# library's module lookup) and to the folder of the installed programs
# (their RPATH).
file(RELATIVE_PATH TARVIO_MODULEDIR_FROM_LIB /${CMAKE_INSTALL_LIBDIR} /${TARVIO_INSTALL_MODULEDIR})
file(RELATIVE_PATH TARVIO_DOCDIR_FROM_LIB /${CMAKE_INSTALL_LIBDIR} /${CMAKE_INSTALL_DOCDIR})
file(RELATIVE_PATH TARVIO_LIBDIR_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
file(RELATIVE_PATH TARVIO_MODULEDIR_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${TARVIO_INSTALL_MODULEDIR})
file(RELATIVE_PATH TARVIO_LIBDIR_FROM_MODULEDIR /${TARVIO_INSTALL_MODULEDIR} /${CMAKE_INSTALL_LIBDIR})
# For the Python module's RPATH ("$ORIGIN/${TARVIO_LIBDIR_FROM_PYTHONDIR}").
file(RELATIVE_PATH TARVIO_LIBDIR_FROM_PYTHONDIR /${TARVIO_INSTALL_PYTHONDIR} /${CMAKE_INSTALL_LIBDIR})
foreach(var TARVIO_MODULEDIR_FROM_LIB TARVIO_DOCDIR_FROM_LIB TARVIO_LIBDIR_FROM_BIN TARVIO_MODULEDIR_FROM_BIN
            TARVIO_LIBDIR_FROM_MODULEDIR TARVIO_LIBDIR_FROM_PYTHONDIR)
  string(REGEX REPLACE "/$" "" ${var} "${${var}}")
endforeach()
