# Manual pages: docs/man/*.1.scd, stamped with the project's version, turned
# into roff by scdoc and compressed as Debian wants them.
option(METERLINK_MAN_PAGES "Build and install the manual pages (needs scdoc)" ON)
if(METERLINK_MAN_PAGES)
  find_program(SCDOC scdoc)
  find_program(GZIP gzip)
  if(NOT SCDOC OR NOT GZIP)
    message(FATAL_ERROR "The manual pages need scdoc and gzip: run scripts/install-deps, "
                        "or configure with -DMETERLINK_MAN_PAGES=OFF")
  endif()
  file(GLOB man_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.scd)
  set(man_pages)
  foreach(source ${man_sources})
    get_filename_component(page ${source} NAME_WLE)   # meterlink.1
    string(REGEX MATCH "[0-9]$" section ${page})
    set(stamped ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.scd)
    configure_file(${source} ${stamped} @ONLY)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${page}
      COMMAND ${SCDOC} < ${stamped} > ${CMAKE_CURRENT_BINARY_DIR}/man/${page}
      DEPENDS ${stamped} VERBATIM)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz
      COMMAND ${GZIP} -9nf -k ${CMAKE_CURRENT_BINARY_DIR}/man/${page}
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page} VERBATIM)
    list(APPEND man_pages ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endforeach()
  list(TRANSFORM man_pages APPEND .gz OUTPUT_VARIABLE compressed_pages)
  add_custom_target(man_pages ALL DEPENDS ${man_pages} ${compressed_pages})
  # Where the tests find the roff pages and their sources.
  set(METERLINK_MAN_DIR ${CMAKE_CURRENT_BINARY_DIR}/man CACHE INTERNAL "")
endif()
