#!/usr/bin/python3
"""Splits a file with QuarvaSplit through its automation object on the session bus.

    split.py SOURCE DESTINATION [UNIT VALUE]

UNIT is one of the size keywords Size() accepts ("b", "kb", "mb", "files", "FLOPPY",
...); without it the chunks are 1,457,664 bytes (FLOPPY). Giving a chunk (NAME.1.spl)
or information file (NAME.sio) as SOURCE rejoins the set into DESTINATION instead.

The factory com.quarva.VantorSplit starts a splitter for every object it is asked
for; the splitter's window shows what it does, and Run() returns once the operation
has ended (after its closing message has been answered). Needs PyGObject (python3-gi).
"""
import sys

from gi.repository import Gio, GLib

FACTORY = "com.quarva.VantorSplit"
FACTORY_PATH = "/com/quarva/VantorSplit"
FACTORY_INTERFACE = "com.quarva.VantorSplit.Factory"
APPLICATION_INTERFACE = "com.quarva.VantorSplit.Application"

# Run() lasts as long as the split and its closing message: wait up to a day.
RUN_TIMEOUT_MS = 24 * 60 * 60 * 1000


def main(argv):
    if len(argv) not in (3, 5):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    source, destination = argv[1], argv[2]
    unit, value = (argv[3], int(argv[4])) if len(argv) == 5 else ("FLOPPY", 0)

    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    # The factory is started by the bus when it is not running yet.
    factory = Gio.DBusProxy.new_sync(bus, Gio.DBusProxyFlags.NONE, None,
                                     FACTORY, FACTORY_PATH, FACTORY_INTERFACE, None)
    bus_name, object_path = factory.call_sync("CreateApplication", None,
                                              Gio.DBusCallFlags.NONE, -1, None).unpack()
    # The splitter serves its object for as long as this connection is on the bus.
    app = Gio.DBusProxy.new_sync(bus, Gio.DBusProxyFlags.DO_NOT_LOAD_PROPERTIES, None,
                                 bus_name, object_path, APPLICATION_INTERFACE, None)

    def call(method, signature=None, *args, timeout=-1):
        parameters = GLib.Variant(signature, args) if signature else None
        return app.call_sync(method, parameters, Gio.DBusCallFlags.NONE, timeout, None)

    call("Size", "(si)", unit, value)
    call("SourceFile", "(s)", source)
    call("Destination", "(s)", destination)
    (done,) = call("Run", timeout=RUN_TIMEOUT_MS).unpack()
    if not done:
        print("split.py: the splitter did not complete the operation", file=sys.stderr)
        return 1
    print("split.py: done")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except GLib.Error as e:
        print("split.py: " + e.message, file=sys.stderr)
        sys.exit(1)
