# Installing: vardelon finds the suite's programs beside itself, so it and
# the demonstration suite live together in lib/vardelon; bin/vardelon is a
# link to it (the program directory is that of the real file).  A desktop
# entry and an icon go under share.  `cpack -G DEB` builds a package.
include(GNUInstallDirs)
set(VARDELON_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/vardelon)
install(TARGETS vardelon RUNTIME DESTINATION ${VARDELON_PROGRAM_DIR})
foreach(prog growth sectraa tellura aggrexa diveroa mergixa pryxo)
  if(TARGET suite_${prog})
    install(TARGETS suite_${prog} RUNTIME DESTINATION ${VARDELON_PROGRAM_DIR})
  endif()
endforeach()
if(TARGET vardelon-demo)
  install(TARGETS vardelon-demo RUNTIME DESTINATION ${VARDELON_PROGRAM_DIR})
endif()
install(CODE "
  set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bindir}\")
  foreach(name vardelon vardelon-demo)
    file(REMOVE \"\${bindir}/\${name}\")
    file(CREATE_LINK \"../${VARDELON_PROGRAM_DIR}/\${name}\" \"\${bindir}/\${name}\" SYMBOLIC)
  endforeach()
")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vardelon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/src/gui/resources/vardelon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME vardelon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Year-by-year simulations of recursive-dynamic models")
set(CPACK_PACKAGE_CONTACT "Vardelon developers <vardelon@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
if(TARGET vardelon_gui)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), fonts-dejavu-core")
endif()
include(CPack)
