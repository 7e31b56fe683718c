# The Debian package (cpack -G DEB): the install tree under /usr. Its
# Depends come from the libraries the binaries actually link (dpkg-shlibdeps),
# plus what the program needs at run time without linking it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvara)
set(CPACK_PACKAGE_VENDOR KELMA)
set(TELVARA_PACKAGE_CONTACT
    "Telvara maintainers <maintainers@users.noreply.c-seed-ffa78ebf.example>"
    CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT ${TELVARA_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts are matched through fontconfig, not linked; xdg-open hands messages,
# mail and web addresses to the desktop.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis, then the long description; CPack indents it for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "finger-friendly phone: contacts, T9 dialer, call history
Telvara is a phone front end for Linux: a contact list with an alphabet
ruler, a dialer keypad that narrows the list with every digit (T9),
favourites, the call history grouped by number and day, and its own call
screen, drawn by its own skinnable 16-bit UI engine.

It talks to a modem with standard AT commands over a serial port or TCP and
brings a modem simulator of its own. Contacts and calls are kept in SQLite.
Telvara opens tel: and callto: links with the number on the keypad.")

include(CPack)
