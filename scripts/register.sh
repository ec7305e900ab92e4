#!/usr/bin/env bash
# The installer's registry step: records where the suite is installed and
# registers the shell extension with the desktop shell host.
set -euo pipefail
dist=$(cd "${1:?usage: register.sh INSTALLED_FOLDER}" && pwd)
"$dist/quarva-reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$dist"
if [[ -x $dist/qzipshell && -f $dist/libQZipShell32.so ]]; then
    "$dist/qzipshell" register "$dist"
fi
# The session bus finds the splitter's automation factory through its activation file.
service=$dist/share/dbus-1/services/com.quarva.VantorSplit.service
if [[ -f $service ]]; then
    services=${XDG_DATA_HOME:-$HOME/.local/share}/dbus-1/services
    mkdir -p "$services"
    cp "$service" "$services/"
fi
echo "Installed into $dist and registered (registry store: ${QUARVA_REGISTRY_DIR:-${XDG_CONFIG_HOME:-$HOME/.config}/quarva/registry})."
