# Run at install time. An installation into the system prefix (/opt/quarva) also
# puts the suite where the desktop looks for it; DESTDIR (the package's staging
# folder) is honoured throughout. Any other prefix (a checkout's dist/) gets nothing.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL QUARVA_SYSTEM_PREFIX)
    return()
endif()
if(NOT QUARVA_HAVE_ICONS)
    message(FATAL_ERROR "The icons need rsvg-convert (package librsvg2-bin); install it and build again.")
endif()

set(root "$ENV{DESTDIR}")
set(src "${QUARVA_DESKTOP_SOURCE}")
set(bin "${QUARVA_DESKTOP_BINARY}")
set(installed "${root}${QUARVA_SYSTEM_PREFIX}")

# The programs on PATH.
file(MAKE_DIRECTORY "${root}/usr/bin")
foreach(program QuarvaZip QuarvaSplit qzip qzipshell quarva-reg)
    file(REMOVE "${root}/usr/bin/${program}")
    file(CREATE_LINK "${QUARVA_SYSTEM_PREFIX}/${program}" "${root}/usr/bin/${program}" SYMBOLIC)
endforeach()

# Menu entries, file types, icons, man pages.
file(INSTALL "${src}/applications/com.quarva.QuarvaZip.desktop" "${src}/applications/com.quarva.QuarvaSplit.desktop"
     DESTINATION /usr/share/applications)
file(INSTALL "${src}/mime/quarva.xml" DESTINATION /usr/share/mime/packages)
foreach(icon quarvazip quarvasplit)
    file(INSTALL "${src}/icons/${icon}.svg" DESTINATION /usr/share/icons/hicolor/scalable/apps)
    foreach(size ${QUARVA_ICON_SIZES})
        file(INSTALL "${bin}/icons/hicolor/${size}x${size}/apps/${icon}.png"
             DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps)
    endforeach()
endforeach()
file(GLOB man_pages "${bin}/man/*.1.gz")
file(INSTALL ${man_pages} DESTINATION /usr/share/man/man1)
file(INSTALL "${src}/completion/qzip" DESTINATION /usr/share/bash-completion/completions)

# D-Bus activation files of the installed folder, where the session bus of every
# user finds them.
file(INSTALL "${installed}/share/dbus-1/services/com.quarva.VantorSplit.service" DESTINATION /usr/share/dbus-1/services)

# File-manager menus.
file(INSTALL "${src}/filemanagers/nautilus/quarva_menu.py" DESTINATION /usr/share/nautilus-python/extensions)
file(GLOB nemo_actions "${src}/filemanagers/nemo/*.nemo_action")
file(INSTALL ${nemo_actions} DESTINATION /usr/share/nemo/actions)
file(GLOB dolphin_menus "${src}/filemanagers/dolphin/*.desktop")
file(INSTALL ${dolphin_menus} DESTINATION /usr/share/kio/servicemenus
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(INSTALL "${src}/filemanagers/thunar/uca-quarva.xml" DESTINATION /usr/share/quarva/thunar)

# Machine-wide registry defaults: each user's store starts from these until the
# user's own hive exists (platform/Registry.h). They are what the installer's
# registry step (scripts/register.sh) writes, made with the installed programs and
# with the staging folder taken out of the recorded paths.
set(work "${CMAKE_CURRENT_BINARY_DIR}/quarva-registry-defaults")
file(REMOVE_RECURSE "${work}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QUARVA_REGISTRY_DIR=${work}
            "${installed}/quarva-reg" add "HKCU\\Software\\Quarva Software\\Quarva.Zip\\Settings" "Installed Path" sz "${QUARVA_SYSTEM_PREFIX}"
    RESULT_VARIABLE rc1)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QUARVA_REGISTRY_DIR=${work} "${installed}/qzipshell" register "${installed}"
    OUTPUT_QUIET RESULT_VARIABLE rc2)
if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0)
    message(FATAL_ERROR "Writing the registry defaults failed (quarva-reg: ${rc1}, qzipshell register: ${rc2})")
endif()
file(MAKE_DIRECTORY "${root}/etc/quarva/registry")
# The installed path goes to HKEY_CURRENT_USER; the registration writes the classes
# to HKEY_CLASSES_ROOT and its approval to HKEY_LOCAL_MACHINE: all three are made.
foreach(hive HKEY_CURRENT_USER HKEY_CLASSES_ROOT HKEY_LOCAL_MACHINE)
    file(READ "${work}/${hive}.reg" text)
    if(NOT root STREQUAL "")
        string(REPLACE "${installed}" "${QUARVA_SYSTEM_PREFIX}" text "${text}")
    endif()
    file(WRITE "${root}/etc/quarva/registry/${hive}.reg" "${text}")
    file(CHMOD "${root}/etc/quarva/registry/${hive}.reg" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
file(REMOVE_RECURSE "${work}")
