# Read by CPack for each generator: the .deb installs into /usr, where a link at the top of the
# tree has no place; the archive gets it.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL program)
endif()
