# make install and make deb: tvsfx is the whole tool. Both stubs are compiled
# into it (builder/embed_stub.cmake), so nothing else has to be found at run
# time; the README goes beside it as its documentation.
include(GNUInstallDirs)
install(TARGETS tvsfx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tvsfx)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tvsfx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Talvok")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Talvok Self-Extractor builder: makes self-extracting Windows installers")
set(CPACK_PACKAGE_CONTACT "Talvok Self-Extractor maintainers <tvsfx@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)   # libdeflate0, libstdc++6, libc6 from dpkg-shlibdeps
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
