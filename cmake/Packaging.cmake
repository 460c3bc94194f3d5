# `make package`: a Debian package of the installed tree (cpack -G DEB).
# Installed under /usr: the program folder lib/korvane (executables,
# Languages/, license.txt), links in bin/, the desktop entry and the icons.

set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR ${KORVANE_COMPANY_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds audio and video files whose sound was lossy re-encoded")
set(CPACK_PACKAGE_DESCRIPTION "\
Korvane decodes each file, averages its spectrum, finds the frequency above
which the sound stops and judges it against the file's bitrate: a lossless
or high-bitrate file whose sound ends where a low-bitrate encoder cuts it
was most likely made from a lossy copy. The window lists one row per file
and draws a spectrogram of the chosen one, and korvane-cli checks whole
libraries from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

string(REGEX REPLACE "^www\\." "" korvane_mail_host "${KORVANE_VENDOR_HOST}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVANE_COMPANY_NAME} <support@${korvane_mail_host}>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${KORVANE_VENDOR_HOST}/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # korvane_<version>_<arch>.deb
# The libraries the executables link, found by dpkg-shlibdeps; and what is
# loaded at run time only: the SVG plugins draw every icon of the window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")

include(CPack)
