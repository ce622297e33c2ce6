# The Debian package: everything `cmake --install` puts in place, under /usr, with the
# library dependencies worked out by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantle-scheduler)
set(CPACK_PACKAGE_VENDOR Vantle)
set(CPACK_PACKAGE_CONTACT "Vantle <scheduler@vantle.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program scheduler for the desktop and headless machines")
# CPack indents it for the control file and turns the empty line into " .".
set(CPACK_PACKAGE_DESCRIPTION "Vantle Scheduler keeps a list of schedule entries, each with five cron-like
time fields, and five seconds past every minute starts the programs and
documents that are due, logging every event. The window edits the schedule
and sits in the system tray, showing the next run and telling when a start
fails; it can start at login.

vantle-schedctl checks, lists and runs the same schedule without a display;
a systemd user unit runs it on machines without a desktop.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin, which the Qt libraries only recommend.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Documents open with the desktop's default application through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
