# Installs the menu entry with the installed program's path in its Exec
# lines: ~/.local/bin, where a user's own install puts it, is not on every
# session's PATH. A path that would need escapes keeps the bare name.
set(_bin "${CMAKE_INSTALL_PREFIX}/${VELLUMINE_ENTRY_BINDIR}/vellumine")
file(READ "${VELLUMINE_ENTRY_SOURCE}" _entry)
if(NOT _bin MATCHES "[\"`$%\\\n\r\t]")
  string(REPLACE "Exec=vellumine" "Exec=\"${_bin}\"" _entry "${_entry}")
endif()
file(WRITE "${VELLUMINE_ENTRY_SCRATCH}/vellumine.desktop" "${_entry}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VELLUMINE_ENTRY_DATADIR}/applications"
  TYPE FILE FILES "${VELLUMINE_ENTRY_SCRATCH}/vellumine.desktop")
