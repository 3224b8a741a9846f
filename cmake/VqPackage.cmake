# Installing and packaging. The layout is the one the program looks for beside itself:
#   bin/vqdemo, share/vqdemo/<data>, plus the desktop entry and icon under share/.
# CPack makes a relocatable .tar.gz (unpack anywhere, run ./vqdemo at its top, a link into bin/)
# and a .deb whose Depends are the runtime libraries dpkg-shlibdeps finds, plus what the program
# loads at run time without linking it: Mesa's GL drivers and EGL (for a capture without an X
# server), and the font of the overlay.
install(TARGETS vqdemo RUNTIME DESTINATION bin COMPONENT program)
install(DIRECTORY ${VQ_DATA_DIR}/ DESTINATION share/vqdemo COMPONENT program)
install(FILES ${CMAKE_BINARY_DIR}/desktop/vqdemo.png DESTINATION share/icons/hicolor/256x256/apps COMPONENT program)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vqdemo.desktop DESTINATION share/applications COMPONENT program)
# Only in the archive: ./vqdemo at the top of the unpacked folder. The program resolves the link
# to bin/ and finds its data in ../share/vqdemo from there.
install(CODE "execute_process(COMMAND \${CMAKE_COMMAND} -E create_symlink bin/vqdemo
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/vqdemo\")"
        COMPONENT archive)

set(CPACK_PACKAGE_NAME vqdemo)
set(CPACK_PACKAGE_VENDOR "Kro")
set(CPACK_PACKAGE_CONTACT "vqdemo maintainers <vqdemo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kromelvastind - Brastelmoorvinge, a real-time audiovisual demo")
set(CPACK_PACKAGE_DESCRIPTION "One OpenGL window, one music track and three 3D scenes locked to the \
track's playback position, then a closing picture. Plays full-screen; --capture renders the piece to PNG \
frames and a WAV file, also on a machine without an X server.")
set(CPACK_GENERATOR TGZ DEB)
set(CPACK_PACKAGE_FILE_NAME vqdemo-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL program archive)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/VqPackageGenerator.cmake)

# One .deb of the program's component alone (VqPackageGenerator.cmake leaves out the archive's link).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME vqdemo)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libglx-mesa0, libegl1, libegl-mesa0, fonts-liberation")
include(CPack)
