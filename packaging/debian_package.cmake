# The Debian package (scripts/package): CPack's DEB generator over what
# `cmake --install` installs, plus the files Debian asks of every package.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(debian_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/meterlink)
set(METERLINK_CONTACT "The MeterLink developers <meterlink@example.org>")

# The package's changelog: this version, dated by its entry in the
# software-centre releases (the date stays the same from build to build).
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/org.example.meterlink.metainfo.xml metainfo)
if(metainfo MATCHES "<release version=\"${PROJECT_VERSION}\" date=\"([0-9]+)-([0-9]+)-([0-9]+)\"")
  set(release_epoch_date "${CMAKE_MATCH_1}-${CMAKE_MATCH_2}-${CMAKE_MATCH_3}")
else()
  string(TIMESTAMP release_epoch_date "%Y-%m-%d" UTC)
endif()
execute_process(COMMAND date -u -R -d "${release_epoch_date} 12:00" OUTPUT_VARIABLE changelog_date
  OUTPUT_STRIP_TRAILING_WHITESPACE)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog CONTENT
"meterlink (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${METERLINK_CONTACT}  ${changelog_date}
")
find_program(GZIP gzip)
if(GZIP)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP} -9nf -k ${CMAKE_CURRENT_BINARY_DIR}/changelog
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz debian/copyright DESTINATION ${debian_doc_dir})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME meterlink)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${METERLINK_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show, judge, log and chart the readings of a handheld multimeter")
# The synopsis line comes from the summary; this is the extended part.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "MeterLink links handheld digital multimeters to the computer, over a
serial port or the meter's USB cable: its own 6000-count meter and the
meters of other common display-chip families (meterlink-cli meters
lists the models). Its window shows a live copy of the meter's display and a
Pass/Fail verdict against limits, and logs every reading in a grid and a
paged chart, kept in a journal that survives a crash; logs are saved as
text, XML, CSV or JSON lines and printed as a report.
.
meterlink-cli logs the meter without a window for days, simulates a meter
for testing, and converts and prints saved logs.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://meterlink.example.org/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)          # meterlink_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)           # dependencies from dpkg-shlibdeps
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
