# Installs 听风匣 the way a Linux desktop expects it and describes the Debian package:
#   cmake --install <build> --prefix /usr      (or DESTDIR=... for a staging root)
#   cd <build> && cpack -G DEB
include(GNUInstallDirs)

# cpack would otherwise build the whole tree (tests and benchmarks included) before packaging;
# the package holds only the program, which the caller builds first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(_tfx_pkg ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS tingfengxia RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_tfx_pkg}/tingfengxia.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_tfx_pkg}/icons/tingfengxia.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${_tfx_pkg}/icons/tingfengxia-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tingfengxia.png)
endforeach()

# README tells how to use the program; Debian looks for the licence under the name "copyright".
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME tingfengxia)
set(CPACK_PACKAGE_VENDOR "听风匣 developers")
set(TFX_PACKAGE_MAINTAINER "听风匣 developers <developers@tingfengxia.example>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_CONTACT "${TFX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "听风匣: find a song's MP3 link and list QQ Space background music")
set(CPACK_PACKAGE_DESCRIPTION
    "听风匣 searches a music site for a song, builds the direct address of its MP3 file, copies it, "
    "previews and downloads it, and lists the background music of a QQ Space account.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt, WebEngine, libcurl and ICU come from the libraries the program is linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Nothing links a font, yet without a CJK one every label of the window is empty boxes; and the
# menu hands the maker's addresses to the desktop through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils")

include(CPack)
