# Settings of the Debian package that `cpack -G DEB` makes from the installed files.
set(CPACK_PACKAGE_NAME tellwick)
set(CPACK_PACKAGE_VENDOR "Tellwick developers")
set(CPACK_PACKAGE_CONTACT "Tellwick developers <tellwick@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "address book editor for .tlw files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tellwick edits address books stored as .tlw files (CP932 text, one entry a line)\n"
    "in a Japanese two-pane window: the groups of the book as a tree, the entries of\n"
    "the selected group as a list. Names and addresses are saved byte for byte;\n"
    "comments, blank lines and indentation are not kept (tellwick-book check lists\n"
    "what a save would change). The companion tellwick-book checks, normalizes,\n"
    "shows, exports and imports books on the command line.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the X11 and Wayland platform
# plugins of Qt.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Japanese input under fcitx5, a font with Japanese glyphs, Qt's own dialogs in Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fcitx5-frontend-qt6, fonts-noto-cjk, qt6-translations-l10n")
