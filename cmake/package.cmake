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
include(CPack)
