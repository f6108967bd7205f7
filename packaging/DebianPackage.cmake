# cpack -G DEB in the build folder (scripts/package.sh) makes
# ranquil_<version>_<arch>.deb of the install rules: the libraries it needs
# are found by dpkg-shlibdeps; the packages it needs at run time that are no
# libraries are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ranquil)
set(CPACK_PACKAGE_VENDOR "Quorvane Technologies")
set(CPACK_PACKAGE_CONTACT "Quorvane Ranquil maintainers <ranquil@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FTP client with peer-to-peer search")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvane Ranquil browses and manages FTP servers in tabs and runs downloads, uploads and\
 deletions as operations that survive restarts and resume where they stopped. Large files arrive\
 in up to eight parts, checked against the server's MD5 digest. Sites are kept as bookmark link\
 files (.wkt), and a network of FTP servers can be searched through an HTTP index server.\
 ranquil-get runs the same download engine on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvane.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The icon's theme, the browser and mail programs behind the Help menu and
# the upgrade hint, and the database that gives .wkt files their type.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "hicolor-icon-theme, xdg-utils, shared-mime-info")
include(CPack)
