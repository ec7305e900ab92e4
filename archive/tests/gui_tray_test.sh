#!/usr/bin/env bash
# The archive manager's tray icon, about box and update check under a display:
# "&Hide in Tray" (F4) without a tray says so; with a tray host (trayer) it hides the
# window behind its icon, and a double click or "&Restore Quarva.Zip Suite" brings it
# back, and its menu starts another instance. The about box and the tip of the day
# open with their titles, and a link of the about box opens through the desktop. "Check for &Updates" asks an HTTP server
# of the test's own on 127.0.0.1 and shows the latest version ("&Get Latest" opens the
# update page), asks for a password where the server wants one, and ends the check
# when the dialog is closed while the server keeps silent. With SHOTS=DIR the about box and the
# version dialog are photographed into DIR.
#
#   gui_tray_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 700 480 "$@" xdotool trayer python3
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
# A desktop whose handler of mail and web links writes them down.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
cat > "$XDG_DATA_HOME/applications/record-link.desktop" <<END
[Desktop Entry]
Type=Application
Name=Record link
Exec=sh -c 'echo "\$1" >> $work/links.txt' sh %u
MimeType=x-scheme-handler/mailto;x-scheme-handler/http;x-scheme-handler/https;
NoDisplay=true
END
{
    echo '[Default Applications]'
    for scheme in mailto http https; do echo "x-scheme-handler/$scheme=record-link.desktop"; done
} > "$XDG_CONFIG_HOME/mimeapps.list"
# Waits until the handler has written the line.
opened() {
    for _ in $(seq 1 50); do
        grep -qxF -- "$1" "$work/links.txt" 2>/dev/null && return 0
        sleep 0.2
    done
    fail "the desktop was not asked to open $1"
}
servers=()
stop_servers() { for server in "${servers[@]}"; do kill "$server" 2>/dev/null || true; done; gui_cleanup; }
trap stop_servers EXIT

# Starts `python3 -u -c SCRIPT` in the background; the script prints its port first.
serve() {
    python3 -u -c "$1" > "$work/port.txt" 2>/dev/null &
    servers+=($!)
    # Python starts slowly on a loaded machine.
    for _ in $(seq 1 300); do
        [[ -s $work/port.txt ]] && break
        sleep 0.1
    done
    port=$(head -1 "$work/port.txt")
    [[ -n $port ]] || fail "the test server did not start"
    "$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Update' Server sz "http://127.0.0.1:$port"
}
# The id of the visible window whose title matches the pattern.
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true; }
wait_window() {
    local id=""
    for _ in $(seq 1 100); do
        id=$(visible "$1")
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.2
    done
    fail "no window /$1/"
}
shot() { [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/$1" || true; }
# Help menu item by its key; tried again when the menu was not open in time.
help_item() { until_traced "$2" pick_help "$1"; }
pick_help() {
    xdotool windowfocus --sync "$(wait_window '^Quarva\.Zip Suite$')" 2>/dev/null || true
    xdotool key --clearmodifiers alt+h; sleep 0.6; xdotool key "$1"
}
# Answers the message box over the main window (same title) with Return.
answer_box() {
    local box=""
    for _ in $(seq 1 50); do
        box=$(xdotool search --onlyvisible --name '^Quarva\.Zip Suite$' 2>/dev/null | grep -vx "$main" | head -1 || true)
        [[ -n $box ]] && break
        sleep 0.2
    done
    [[ -n $box ]] || fail "no message box"
    xdotool windowfocus --sync "$box" 2>/dev/null || true
    sleep 0.3
    xdotool key --clearmodifiers Return
    for _ in $(seq 1 25); do
        xdotool search --onlyvisible --name '^Quarva\.Zip Suite$' 2>/dev/null | grep -qx "$box" || return 0
        sleep 0.2
    done
    fail "the message box did not close"
}
f4() {
    xdotool windowfocus --sync "$(wait_window '^Quarva\.Zip Suite$')" 2>/dev/null || true
    xdotool key --clearmodifiers F4
}

"$program" > "$work/out.txt" 2>&1 &
pid=$!
main=$(wait_window '^Quarva\.Zip Suite$')

# 1. The about box; its sales link opens a mail to the sales address.
mark=$(lines)
help_item a '^dialog: About Quarva\.Zip Suite$'
about=$(wait_window '^About Quarva\.Zip Suite$')
wait_for '^link: mailto:sales@' "$mark"
sleep 0.5
shot about.png
read -r x y <<<"$(tail -n +"$((mark + 1))" "$trace" | grep '^link: mailto:sales@' | head -1 | sed 's/.* at //')"
xdotool mousemove "$x" "$y" click 1
opened mailto:sales@quarva.software
xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key --clearmodifiers Return
for _ in $(seq 1 25); do [[ -z $(visible '^About Quarva\.Zip Suite$') ]] && break; sleep 0.2; done
[[ -z $(visible '^About Quarva\.Zip Suite$') ]] || fail "OK did not close the about box"
echo "about box: ok"

# 1b. The tip of the day from the installed folder's tips.txt.
printf '; tips\nFirst tip.\nSecond tip.\n' > "$work/installed/tips.txt"
help_item s '^dialog: Tip of the Day$'
tip=$(wait_window '^Tip of the Day$')
sleep 0.3
shot tip.png
xdotool windowfocus --sync "$tip" 2>/dev/null || true
xdotool key --clearmodifiers Return
for _ in $(seq 1 25); do [[ -z $(visible '^Tip of the Day$') ]] && break; sleep 0.2; done
[[ -z $(visible '^Tip of the Day$') ]] || fail "the tip dialog did not close"
echo "tip of the day: ok"

# 2. The version dialog against a server that has 2.1.0.5.
mkdir -p "$work/www/quarvazip"
printf '2.1.0.5\r\n' > "$work/www/quarvazip/version.txt"
serve "
import http.server, functools, socketserver
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory='$work/www')
handler.log_message = lambda *a: None
with socketserver.TCPServer(('127.0.0.1', 0), handler) as server:
    print(server.server_address[1])
    server.serve_forever()"
mark=$(lines)
help_item u '^dialog: Check for Updates$'
wait_for "^update: status 200, latest '2\.1\.0\.5', A newer version is available\.$" "$mark"
updates=$(wait_window '^Check for Updates$')
sleep 0.3
shot updates.png
xdotool windowfocus --sync "$updates" 2>/dev/null || true
xdotool key --clearmodifiers alt+g
opened "http://127.0.0.1:$port/quarvazip/"
xdotool windowfocus --sync "$updates" 2>/dev/null || true
xdotool key --clearmodifiers Escape
echo "update check, newer version, get latest: ok"

# 2b. A server that wants a password: asked for once, then the version shows.
serve "
import http.server, socketserver
class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *a): pass
    def do_GET(self):
        if self.headers.get('Authorization') == 'Basic dXNlcjpzZWNyZXQ=':
            self.send_response(200); body = b'3.0.0.0\\n'
        else:
            self.send_response(401); body = b'denied'
            self.send_header('WWW-Authenticate', 'Basic realm=\"Quarva Updates\"')
        self.send_header('Content-Length', str(len(body))); self.end_headers(); self.wfile.write(body)
with socketserver.TCPServer(('127.0.0.1', 0), Handler) as server:
    print(server.server_address[1])
    server.serve_forever()"
mark=$(lines)
help_item u '^dialog: Check for Updates$'
for answer in user secret; do
    login=$(wait_window '^Log On to the Update Server$')
    xdotool windowfocus --sync "$login" 2>/dev/null || true
    sleep 0.6
    xdotool type --delay 20 "$answer"
    xdotool key --clearmodifiers Return
    for _ in $(seq 1 25); do [[ $(visible '^Log On to the Update Server$') != "$login" ]] && break; sleep 0.2; done
done
wait_for "^update: status 200, latest '3\.0\.0\.0', A newer version is available\.$" "$mark"
xdotool windowfocus --sync "$(wait_window '^Check for Updates$')" 2>/dev/null || true
xdotool key --clearmodifiers Escape
echo "update check with a password: ok"

# 3. A server that takes the connection and never answers: the dialog shows that it
#    is checking, the window keeps answering, and closing the dialog ends the check.
serve "
import socket, time
s = socket.socket(); s.bind(('127.0.0.1', 0)); s.listen(4)
print(s.getsockname()[1])
time.sleep(600)"
mark=$(lines)
help_item u '^dialog: Check for Updates$'
updates=$(wait_window '^Check for Updates$')
sleep 0.5
shot updates-checking.png
xdotool windowfocus --sync "$updates" 2>/dev/null || true
xdotool key --clearmodifiers Escape
for _ in $(seq 1 25); do [[ -z $(visible '^Check for Updates$') ]] && break; sleep 0.2; done
[[ -z $(visible '^Check for Updates$') ]] || fail "the version dialog did not close while the check ran"
traced_since "$mark" '^update:' && fail "a cancelled check reported"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
echo "update check closed while waiting: ok"

# 3b. No server at all: the field stays empty and the reason is given beneath.
python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' > "$work/port.txt"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Update' Server sz "http://127.0.0.1:$(cat "$work/port.txt")"
mark=$(lines)
help_item u '^dialog: Check for Updates$'
wait_for "^update: status 0, latest '', The update server could not be reached: " "$mark"
sleep 0.3
shot updates-refused.png
xdotool windowfocus --sync "$(wait_window '^Check for Updates$')" 2>/dev/null || true
xdotool key --clearmodifiers Escape
echo "update check without a server: ok"

# 4. No tray on this display: F4 says so and the window stays.
mark=$(lines)
f4
wait_for '^message: There is no system tray on this desktop to hide the window in\.$' "$mark"
answer_box
[[ -n $(visible '^Quarva\.Zip Suite$') ]] || fail "the window went away without a tray"

# 5. With a tray host: F4 hides the window behind the icon; a double click brings it
#    back. The host may take a moment to take up the tray: until then F4 still says
#    there is none.
trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 32 &
servers+=($!)
hide() {
    local mark
    for _ in 1 2 3 4 5; do
        mark=$(lines)
        f4
        for _ in $(seq 1 50); do
            traced_since "$mark" '^(tray: hidden|message: )' && break
            sleep 0.2
        done
        traced_since "$mark" '^tray: hidden$' && return 0
        answer_box
        sleep 1
    done
    fail "the window was not hidden in the tray"
}
mark=$(lines)
hide
sleep 0.5
[[ -z $(visible '^Quarva\.Zip Suite$') ]] || fail "the window is still shown"
icon=$(wait_window '^QuarvaZip$')
shot tray.png
xdotool mousemove --window "$icon" 16 15 click --repeat 2 --delay 80 1
wait_for '^tray: restored$' "$mark"
wait_window '^Quarva\.Zip Suite$' >/dev/null
echo "hide in tray, double click: ok"

# 6. Again, and back with "&Restore Quarva.Zip Suite" from the icon's menu.
mark=$(lines)
hide
icon=$(wait_window '^QuarvaZip$')
restore_from_menu() {
    xdotool mousemove --window "$icon" 16 15 click 3
    sleep 0.8
    shot tray-menu.png
    xdotool key r
}
until_traced '^tray: restored$' restore_from_menu
wait_window '^Quarva\.Zip Suite$' >/dev/null
echo "hide in tray, restore from the menu: ok"

# 7. "&Launch Another Instance" from the icon's menu starts the program beside this one.
hide
icon=$(wait_window '^QuarvaZip$')
for _ in 1 2 3; do
    xdotool mousemove --window "$icon" 16 15 click 3
    sleep 0.8
    xdotool key l
    for _ in $(seq 1 25); do
        [[ -n $(pgrep -P "$pid" -x QuarvaZip) ]] && break 2
        sleep 0.2
    done
    xdotool key Escape
done
second=$(pgrep -P "$pid" -x QuarvaZip) || fail "no second instance was started"
kill "$second"
echo "launch another instance: ok"
