# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, made by CPack from the install rules (scripts/package.sh runs it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelkavio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zelkavio")
set(CPACK_PACKAGE_CONTACT "Zelkavio developers <zelkavio@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # zelkavio_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The shared libraries the programs link come from dpkg-shlibdeps; what Qt and the pictures' text need at run
# time without linking it is named here: the X11 platform plugin, Qt's Polish dialogs and the fonts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation, fonts-dejavu-core")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer that keeps descriptions inside the picture files")
# CPack puts the summary above this text as the package's one-line synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zelkavio shows the pictures of one folder at a time (BMP, JPEG, EMF and WMF). Every picture may carry a
free-text description stored inside the picture file itself, behind the picture's own bytes, so no side
file or database is needed and other programs still see an ordinary picture.
.
It steps through the pictures by hand or in a timed show with each picture's sound, edits and deletes
descriptions, and searches every file of a folder for a phrase. The interface is Polish.
.
The package also holds zelkavio-opis, a command-line tool that reads and writes the descriptions.")
include(CPack)
