# Run by `cmake --install`: writes the menu entry naming the program by the
# path it is installed to, read here rather than at configure time so that
# `cmake --install --prefix DIR` gives an entry that starts the copy in DIR.
# Expects SHELVIX_DESKTOP_TEMPLATE, SHELVIX_DESKTOP_STAGE, SHELVIX_BINDIR and
# SHELVIX_APPLICATIONSDIR (the last two as GNUInstallDirs gives them).

function(shelvix_installed_path dir out)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
    endif()
endfunction()

shelvix_installed_path("${SHELVIX_BINDIR}" bindir)
set(SHELVIX_EXEC "${bindir}/shelvix")
# A path with blanks or characters the Exec key reserves would need quoting;
# the bare name, found on PATH, is the safe fallback.
if(NOT SHELVIX_EXEC MATCHES "^[A-Za-z0-9/._+-]+$")
    set(SHELVIX_EXEC "shelvix")
endif()

configure_file("${SHELVIX_DESKTOP_TEMPLATE}" "${SHELVIX_DESKTOP_STAGE}/shelvix-books.desktop" @ONLY)
shelvix_installed_path("${SHELVIX_APPLICATIONSDIR}" applications)
file(INSTALL "${SHELVIX_DESKTOP_STAGE}/shelvix-books.desktop" DESTINATION "${applications}")
