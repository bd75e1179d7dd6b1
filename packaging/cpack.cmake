# The Debian package of both programs: cpack -G DEB in a configured build tree
# (scripts/package.sh makes a Release one).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Varnholt)
set(CPACK_PACKAGE_CONTACT "Varnholt <packages@varnholt.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "web page meta tag checker and product updater")
# The lines of the control file's long description, as dpkg shows them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quillmark checks the title and meta tags of the pages of a web against a"
    "site's rule base and shows the pages that passed, those that failed and the"
    "keyword density of each page; quillmark-check runs the same checks from"
    "scripts and continuous integration."
    ""
    "Tidewell keeps the maker's installed products up to date from an FTP update"
    "server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quillmark_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so shlibdeps cannot see them: the windows need a platform plugin, and
# opening files and pages goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
