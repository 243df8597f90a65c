# Installation and the Debian package. The installed program keeps its
# resources under share/karaoke-panel and works in a folder of each user's,
# seeded from them at the first start.
include(GNUInstallDirs)
set(_programs karaoke-ini)
if(TARGET karaoke-panel)
  list(APPEND _programs karaoke-panel)
endif()
if(TARGET karaoke-ctl)
  list(APPEND _programs karaoke-ctl)
endif()
if(TARGET karaoke-unit-sim)
  list(APPEND _programs karaoke-unit-sim)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/karaoke-panel)
if(WIN32)
  # The Windows installer (tools/build-windows.sh) makes the shortcut.
  if(TARGET karaoke-panel)
    install(FILES ${KP_OUT_DIR}/karaoke-panel.ico DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  return()
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/karaoke-panel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/karaoke-panel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "karaoke-panel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Karaoke panel developers <dev@karaoke-panel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for a karaoke audio processor on a serial line")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
include(CPack)
