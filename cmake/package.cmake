# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack --config build/CPackConfig.cmake` gives
# pelliwick_<version>_<arch>.deb. Installed under /usr; the run-time
# libraries come from dpkg-shlibdeps, the Qt plugins and translations the
# program loads at run time are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelliwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "青梧工作室")
set(CPACK_PACKAGE_CONTACT "Pelliwick <pelliwick@pelliwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "POP3 mailbox steward: checks mailboxes and applies mail rules")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Pelliwick watches several POP3 mailboxes on an interval and carries out the\n"
    "actions of the rules bound to each: forward, delete on the server, back up,\n"
    "reply, save key information or attachments. It lives in the notification\n"
    "area and can also check from a systemd user timer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install sees /usr as its prefix (the units name /usr/bin/pelliwick).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pelliwick.example/")

# The licence (LICENSE holds its full text) in the form Debian's copyright
# file names it, and the package's documentation: copyright, the Debian
# changelog and the manual page, compressed as lintian expects (gzip -9n).
set(PW_LICENSE_DEBIAN "GPL-3+")
set(PW_COPYRIGHT "2026 青梧工作室")
include(GNUInstallDirs)
set(pw_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pelliwick)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
find_program(PW_GZIP gzip REQUIRED)
set(pw_gz_files)
foreach(pair "cmake/debian/changelog;changelog.gz" "docs/pelliwick.1;pelliwick.1.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${target}
                     COMMAND ${PW_GZIP} -9nc ${PROJECT_SOURCE_DIR}/${source} > ${PROJECT_BINARY_DIR}/${target}
                     DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND pw_gz_files ${PROJECT_BINARY_DIR}/${target})
endforeach()
add_custom_target(pw_package_docs ALL DEPENDS ${pw_gz_files})
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${pw_doc_dir})
install(FILES ${PROJECT_BINARY_DIR}/pelliwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(CPack)
