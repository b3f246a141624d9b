# `make package` (cpack -G DEB): a Debian package of an install into /usr. Library dependencies
# come from dpkg-shlibdeps; the fonts, Qt's platform plugins and Qt's translations (its dialogs
# in Chinese) are loaded at run time, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel maintainers")
set(CPACK_PACKAGE_CONTACT "Quorvel maintainers <maintainers@users.noreply.c-seed-fca18f0c.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Gauss-Krueger projection calculator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Quorvel computes Gauss-Krueger projections on the Krassovsky ellipsoid for
batches of points: geodetic longitude and latitude to plane coordinates,
plane coordinates back to longitude and latitude, and plane coordinates from
one zone's central meridian to another's. Its window, captioned in Chinese,
asks every value in a confirmed prompt, shows the results point by point and
prints them as a tabular report.

quorvel-batch runs the same computations on files of points and writes CSV,
the CASS coordinate file, DXF drawings, GeoPackage and Shapefile layers with
their coordinate system, or KML, with the printed report as a PDF or text
file.]=])
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUORVEL_WITH_QT)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "fonts-wqy-zenhei, fonts-dejavu-extra, qt6-qpa-plugins, qt6-translations-l10n")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
