# Sourced by the automation tests: runs the calling script again on a display and a
# session bus of its own, so that nothing of another test (its windows, its bus, its
# splitter processes) can be taken for this one's.
#
#   private_bus QUARVASPLIT "$@"
#
# The first call starts an X server of its own for the script (xvfb-run), the second a
# private session bus (dbus-run-session) whose D-Bus activation starts QUARVASPLIT as
# the automation factory, and runs the script once more inside both. There it returns,
# with $work set to the test's own folder (removed when the bus ends) and
# $QUARVA_REGISTRY_DIR to a registry store inside it; the splitter processes the bus
# starts inherit the bus's environment, so whatever the test exports before calling
# goes to them as well.
private_bus() {
    local program=$1
    shift
    if [[ -z ${QUARVA_PRIVATE_DISPLAY:-} ]]; then
        command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit 0; }
        QUARVA_PRIVATE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
    fi
    if [[ -n ${QUARVA_TEST_WORK:-} ]]; then
        work=$QUARVA_TEST_WORK
        return 0
    fi
    command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is not installed"; exit 0; }
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/services"
    printf '[D-BUS Service]\nName=com.quarva.VantorSplit\nExec=%s --automation-factory\n' "$(realpath "$program")" \
        > "$work/services/com.quarva.VantorSplit.service"
    cat > "$work/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <servicedir>$work/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    local rc=0
    QUARVA_REGISTRY_DIR=$work/registry QUARVA_TEST_WORK=$work \
        dbus-run-session --config-file="$work/session.conf" -- "$0" "$@" || rc=$?
    exit $rc
}
