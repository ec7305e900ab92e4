#!/usr/bin/env bash
# The window's desktop commands on a session bus of the test's own: with a stand-in
# file manager (org.freedesktop.FileManager1) "Open Contai&ning Folder" shows the
# archive selected, "&Properties" asks for its properties page and "My &Computer"
# opens the root; without one, the folder opens through the desktop's handler of
# folders and "&Properties" says that nobody can show the page.
#
#   gui_desktop_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
if [[ -z ${QUARVA_OWN_BUS:-} ]]; then
    command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is not installed"; exit 0; }
    QUARVA_OWN_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
. "$(dirname "$0")/gui_common.sh"
gui_start 700 460 "$@" xdotool zip python3
# PyGObject (python3-gi) belongs to the system's Python.
python=/usr/bin/python3
"$python" -c 'import gi' 2>/dev/null || { echo "SKIP: python3-gi is not installed"; exit 0; }

# The desktop's handler of folders writes down what it was asked to open.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
printf '#!/bin/sh\necho "open $1" >> "%s/calls.txt"\n' "$work" > "$work/record-folder"
chmod +x "$work/record-folder"
cat > "$XDG_DATA_HOME/applications/record-folder.desktop" <<END
[Desktop Entry]
Type=Application
Name=Record folder
Exec=$work/record-folder %u
MimeType=inode/directory;
NoDisplay=true
END
printf '[Default Applications]\ninode/directory=record-folder.desktop\n' > "$XDG_CONFIG_HOME/mimeapps.list"

# A file manager on the bus that writes down each call.
manager=""
start_manager() {
    "$python" -u - "$work/calls.txt" > "$work/manager.txt" 2>&1 <<'PY' &
import sys
from gi.repository import Gio, GLib
xml = """<node><interface name="org.freedesktop.FileManager1">%s</interface></node>""" % "".join(
    '<method name="%s"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>' % m
    for m in ("ShowFolders", "ShowItems", "ShowItemProperties"))
interface = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
log = open(sys.argv[1], "a")
def call(connection, sender, path, iface, method, parameters, invocation):
    uris, _ = parameters.unpack()
    log.write(method + " " + " ".join(uris) + "\n")
    log.flush()
    invocation.return_value(None)
def acquired(connection, name):
    connection.register_object("/org/freedesktop/FileManager1", interface, call, None, None)
Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.FileManager1", Gio.BusNameOwnerFlags.NONE,
                 acquired, lambda *a: print("ready"), None)
GLib.MainLoop().run()
PY
    manager=$!
    for _ in $(seq 1 300); do grep -q ready "$work/manager.txt" 2>/dev/null && return 0; sleep 0.1; done
    fail "the stand-in file manager did not start"
}
stop_all() { [[ -n $manager ]] && kill "$manager" 2>/dev/null; gui_cleanup; }
trap stop_all EXIT
# Waits until the calls file holds the line.
called() {
    for _ in $(seq 1 100); do
        grep -qxF -- "$1" "$work/calls.txt" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "the desktop was not asked: $1 (asked: $(cat "$work/calls.txt" 2>/dev/null))"
}

mkdir -p "$work/my files"
echo hello > "$work/a.txt"
(cd "$work" && zip -q "my files/test 1.zip" a.txt)
archive="$work/my files/test 1.zip"
uri="file://${work// /%20}/my%20files/test%201.zip"

start_manager
"$program" "$archive" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
main; xdotool key --clearmodifiers alt+F2
called "ShowItems $uri"
main; xdotool key --clearmodifiers alt+Return
called "ShowItemProperties $uri"
# "My &Computer" shares its key with "&Classic View": the second press reaches it.
for _ in 1 2 3; do
    main; xdotool key --clearmodifiers alt+v; sleep 0.6; xdotool key c c Return
    for _ in $(seq 1 20); do grep -q '^ShowFolders' "$work/calls.txt" && break 2; sleep 0.1; done
    xdotool key Escape
done
called "ShowFolders file:///"

# Without a file manager on the bus.
kill "$manager"; wait "$manager" 2>/dev/null || true; manager=""
main; xdotool key --clearmodifiers alt+F2
called "open $work/my files"
mark=$(lines)
main; xdotool key --clearmodifiers alt+Return
expect_box "Quarva.Zip Suite | No file manager on this desktop can show the properties of\\n$archive | OK | information" "$mark"
answer Return
echo PASS
