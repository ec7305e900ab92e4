"""Loads the Nautilus extension against a stand-in of the Nautilus module and checks
that it offers, for each path given, the items `qzipshell menu --json` gives.

usage: nautilus_stub_check.py EXTENSION.py FOLDER ZIPFILE
"""
import importlib.util
import json
import subprocess
import sys
import types


class GObjectBase:
    def __init__(self, **props):
        self.props = props
        self.handlers = {}

    def connect(self, signal, handler):
        self.handlers[signal] = handler


class MenuItem(GObjectBase):
    def __init__(self, name="", label="", tip="", icon=""):
        super().__init__(name=name, label=label, tip=tip, icon=icon)
        self.submenu = None

    def set_submenu(self, menu):
        self.submenu = menu


class Menu:
    def __init__(self):
        self.items = []

    def append_item(self, item):
        self.items.append(item)


class Location:
    def __init__(self, path):
        self.path = path

    def get_path(self):
        return self.path


class FileInfo:
    def __init__(self, path):
        self.path = path
        self.attributes = {}

    def get_location(self):
        return Location(self.path)

    def get_uri(self):
        return "file://" + self.path

    def add_string_attribute(self, name, value):
        self.attributes[name] = value


def install_stub():
    gi = types.ModuleType("gi")
    gi.require_version = lambda name, version: None
    repository = types.ModuleType("gi.repository")
    gobject = types.ModuleType("gi.repository.GObject")
    gobject.GObject = GObjectBase
    nautilus = types.ModuleType("gi.repository.Nautilus")
    for name in ("MenuProvider", "ColumnProvider", "InfoProvider", "PropertiesModelProvider"):
        setattr(nautilus, name, type(name, (), {}))
    nautilus.PropertiesItem = lambda **kw: kw
    nautilus.PropertiesModel = lambda **kw: kw
    gio = types.ModuleType("gi.repository.Gio")

    class ListStore(list):
        @staticmethod
        def new(item_type):
            return ListStore()

    gio.ListStore = ListStore
    repository.Gio = gio
    nautilus.MenuItem = MenuItem
    nautilus.Menu = Menu
    nautilus.Column = lambda **kw: kw
    repository.GObject = gobject
    repository.Nautilus = nautilus
    gi.repository = repository
    sys.modules.update({"gi": gi, "gi.repository": repository, "gi.repository.GObject": gobject,
                        "gi.repository.Nautilus": nautilus, "gi.repository.Gio": gio})


def flatten(items, text_of, children_of):
    out = []
    for item in items:
        out.append(text_of(item))
        out += flatten(children_of(item), text_of, children_of)
    return out


def main():
    extension, folder, zipfile = sys.argv[1:4]
    install_stub()
    spec = importlib.util.spec_from_file_location("quarva_menu", extension)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    provider = module.QuarvaMenuProvider()

    launched = []
    real_popen = subprocess.Popen

    def popen_and_wait(command, **kw):
        launched.append(command)
        process = real_popen(command, **kw)
        process.wait()
        return process

    module.subprocess.Popen = popen_and_wait

    for path, expected_first in ((folder, "Add To Zip"), (zipfile, "Extract to...")):
        answer = subprocess.run([module.qzipshell(), "menu", "--json", path], stdout=subprocess.PIPE, check=True)
        wanted = flatten(json.loads(answer.stdout)["items"], lambda e: module.menu_text(e["text"]),
                         lambda e: e.get("submenu", []))
        for offered in (provider.get_file_items([FileInfo(path)]), provider.get_file_items(None, [FileInfo(path)])):
            got = flatten(offered, lambda i: i.props["label"], lambda i: i.submenu.items if i.submenu else [])
            assert got == wanted, (path, got, wanted)
        assert expected_first in got, (path, got)
        assert not any("&" in text for text in got), got
        print(path, "->", got)

    # The folder as the window's background gives the folder's items.
    background = provider.get_background_items(FileInfo(folder))
    assert flatten(background, lambda i: i.props["label"], lambda i: i.submenu.items if i.submenu else []) == \
        flatten(provider.get_file_items([FileInfo(folder)]), lambda i: i.props["label"],
                lambda i: i.submenu.items if i.submenu else [])
    # Files outside the local file system get nothing.
    remote = FileInfo("/x")
    remote.get_location = lambda: Location(None)
    remote.get_uri = lambda: "sftp://host/x"
    assert provider.get_file_items([remote]) == []

    # Choosing "Extract to..." for the zip runs qzipshell invoke with its offset.
    items = provider.get_file_items([FileInfo(zipfile)])
    leaves = []
    stack = list(items)
    while stack:
        item = stack.pop(0)
        if item.submenu:
            stack = item.submenu.items + stack
        else:
            leaves.append(item)
    chosen = next(i for i in leaves if i.props["label"] == "Extract to...")
    chosen.handlers["activate"](chosen)
    assert launched and launched[-1][1] == "invoke" and launched[-1][-1] == zipfile, launched

    # The info tip of the zip as a column value.
    info = FileInfo(zipfile)
    provider.update_file_info(info)
    assert info.attributes.get("quarva_infotip"), info.attributes
    assert provider.get_columns()[0]["attribute"] == "quarva_infotip"
    # ... and on the properties page of the zip alone.
    models = provider.get_models([FileInfo(zipfile)])
    assert models and models[0]["model"][0]["value"] == info.attributes["quarva_infotip"], models
    assert provider.get_models([FileInfo(folder)]) == []
    print("checked:", info.attributes["quarva_infotip"])


if __name__ == "__main__":
    main()
