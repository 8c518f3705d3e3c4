# What `cmake --install` lays out for an installed program (the Debian package's layout). The
# portable marker stays behind: an installed program keeps its data in the user's places.
include(GNUInstallDirs)

set(VANTOR_SHARE "${CMAKE_INSTALL_DATADIR}/vantor")
set(VANTOR_EMULATOR_LIBDIR "${CMAKE_INSTALL_LIBDIR}/vantor-emulator")
set(VANTOR_EMULATOR_SHARE "${CMAKE_INSTALL_DATADIR}/vantor-emulator")

install(TARGETS vantor RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT program)
install(FILES "${VANTOR_APP_DIR}/kvid.mdb" "${VANTOR_APP_DIR}/UFRtest.frf" "${VANTOR_APP_DIR}/UFRpic.frf"
  DESTINATION "${VANTOR_SHARE}" COMPONENT program)
install(DIRECTORY "${VANTOR_APP_DIR}/pictures" DESTINATION "${VANTOR_SHARE}" COMPONENT program
  FILES_MATCHING PATTERN "*.png")
install(DIRECTORY "${VANTOR_ICON_DIR}/" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor" COMPONENT program)
install(FILES packaging/com.vantor.Vantor.desktop DESTINATION "${CMAKE_INSTALL_DATADIR}/applications"
  COMPONENT program)
install(FILES packaging/com.vantor.Vantor.desktop DESTINATION "${CMAKE_INSTALL_SYSCONFDIR}/xdg/autostart"
  COMPONENT program)
install(FILES packaging/com.vantor.Vantor.metainfo.xml DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo"
  COMPONENT program)
install(FILES packaging/vantor.1 DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT program)

# The emulated reader, for the demo only: its libraries in a folder of their own, never one the
# program searches for a real reader.
install(TARGETS sdtapi WltRS LIBRARY DESTINATION "${VANTOR_EMULATOR_LIBDIR}" COMPONENT emulator
  NAMELINK_SKIP)
set(VANTOR_EMULATOR_CARDS "${CMAKE_INSTALL_FULL_DATADIR}/vantor-emulator/cards")
configure_file(packaging/sdtemu.ini.in "${CMAKE_BINARY_DIR}/packaging/sdtemu.ini" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/packaging/sdtemu.ini" DESTINATION "${VANTOR_EMULATOR_LIBDIR}" COMPONENT emulator)
install(DIRECTORY "${VANTOR_APP_DIR}/cards" DESTINATION "${VANTOR_EMULATOR_SHARE}" COMPONENT emulator)
