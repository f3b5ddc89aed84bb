# What the Debian package installs besides the programs, and the package
# itself (CPack's DEB generator). `bash scripts/package.sh` builds it;
# docs/packaging.md describes what goes where.
include(GNUInstallDirs)

set(QUILLMERE_GENERATED ${PROJECT_BINARY_DIR}/packaging)
set(QUILLMERE_PACKAGING_SOURCE ${PROJECT_SOURCE_DIR}/data/packaging)

# The man page and the completions are written from the program's own
# command-line declarations, so they never drift from it.
set(cli_reference_files
  ${QUILLMERE_GENERATED}/quillmere.1
  ${QUILLMERE_GENERATED}/bash-completion/quillmere
  ${QUILLMERE_GENERATED}/zsh/_quillmere)
add_custom_command(
  OUTPUT ${cli_reference_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLMERE_GENERATED}/bash-completion
          ${QUILLMERE_GENERATED}/zsh
  COMMAND quillmere-cli-reference man ${QUILLMERE_GENERATED}/quillmere.1
  COMMAND quillmere-cli-reference bash ${QUILLMERE_GENERATED}/bash-completion/quillmere
  COMMAND quillmere-cli-reference zsh ${QUILLMERE_GENERATED}/zsh/_quillmere
  DEPENDS quillmere-cli-reference
  COMMENT "Writing the man page and completions of quillmere"
  VERBATIM)
configure_file(${QUILLMERE_PACKAGING_SOURCE}/quillmere-desktop.1.in
  ${QUILLMERE_GENERATED}/quillmere-desktop.1 @ONLY)
configure_file(${QUILLMERE_PACKAGING_SOURCE}/changelog.Debian.in
  ${QUILLMERE_GENERATED}/changelog.Debian @ONLY)

# Debian compresses man pages and changelogs (gzip -n: no name or time, so the
# package is the same from one build to the next).
set(compressed_files)
foreach(plain quillmere.1 quillmere-desktop.1 changelog.Debian)
  add_custom_command(
    OUTPUT ${QUILLMERE_GENERATED}/${plain}.gz
    COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${QUILLMERE_GENERATED}/${plain}
            ${QUILLMERE_GENERATED}/${plain}.gz
    DEPENDS ${QUILLMERE_GENERATED}/${plain}
    VERBATIM)
  list(APPEND compressed_files ${QUILLMERE_GENERATED}/${plain}.gz)
endforeach()

# Icons at the sizes launchers and software centres ask for, drawn from the
# one SVG.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(QUILLMERE_ICON_SIZES 32 48 64 128 256)
set(icon_files)
foreach(size ${QUILLMERE_ICON_SIZES})
  set(png ${QUILLMERE_GENERATED}/icons/${size}x${size}/com.quillmere.Quillmere.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLMERE_GENERATED}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
            ${PROJECT_SOURCE_DIR}/data/icons/com.quillmere.Quillmere.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/data/icons/com.quillmere.Quillmere.svg
    VERBATIM)
  list(APPEND icon_files ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

add_custom_target(quillmere_package_files ALL
  DEPENDS ${cli_reference_files} ${compressed_files} ${icon_files})

install(FILES ${QUILLMERE_GENERATED}/quillmere.1.gz ${QUILLMERE_GENERATED}/quillmere-desktop.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUILLMERE_GENERATED}/bash-completion/quillmere
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${QUILLMERE_GENERATED}/zsh/_quillmere
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
# systemd looks for the user units of packages in <prefix>/lib/systemd/user.
# The unit runs the program where this install puts it, so it is written at
# install time, for the prefix of the package (/usr) or of `cmake --install`.
install(CODE "
  set(unit_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\")
  message(STATUS \"Installing: \${unit_dir}/quillmere.service (DESTDIR=\$ENV{DESTDIR} prefix=\${CMAKE_INSTALL_PREFIX})\")
  file(MAKE_DIRECTORY \"\${unit_dir}\")
  execute_process(COMMAND \"$<TARGET_FILE:quillmere-cli-reference>\" unit
    \"\${unit_dir}/quillmere.service\" \"\${CMAKE_INSTALL_PREFIX}/bin/quillmere\"
    RESULT_VARIABLE written)
  if(NOT written EQUAL 0)
    message(FATAL_ERROR \"Cannot write \${unit_dir}/quillmere.service\")
  endif()")
install(FILES ${QUILLMERE_PACKAGING_SOURCE}/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmere)
install(FILES ${QUILLMERE_GENERATED}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmere)
install(FILES ${QUILLMERE_PACKAGING_SOURCE}/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quillmere)

# ---- the package

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Quillmere <packages@quillmere.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillmere <packages@quillmere.invalid>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop companion of the Quillmere trade show contacts app")
# The summary is the synopsis line; CPack indents these lines itself and
# writes the empty one as the paragraph break (" .").
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quillmere keeps the events, contacts, notes, opportunities and follow-up
drafts captured on the Quillmere phone app in a local store on this
computer, syncs with the paired phone over the local network, and offers
them to AI assistants over MCP.

The package holds the companion and its command line (quillmere), the
desktop window (quillmere-desktop), a systemd user service and the bridge
that AI desktop clients start (which needs Node.js).")
# dpkg-shlibdeps names the libraries the programs link; Node.js runs only the
# MCP bridge that AI clients start, so it is recommended, never required.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "nodejs")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${QUILLMERE_PACKAGING_SOURCE}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
