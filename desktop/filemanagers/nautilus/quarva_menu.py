# Quarva.Zip Suite in Nautilus: the context menu of the suite's shell extension and
# the info tip of zip files as a column and on the properties page.
#
# Nothing is decided here: `qzipshell menu --json` gives the items for the
# selection (texts, help texts, submenu) with the current settings, and choosing
# an item runs `qzipshell invoke`, which starts the archive manager.

import json
import os
import shutil
import subprocess
from urllib.parse import unquote, urlparse

import gi

try:
    gi.require_version("Nautilus", "4.0")
except (ValueError, AttributeError):
    gi.require_version("Nautilus", "3.0")
from gi.repository import GObject, Nautilus  # noqa: E402

# Nautilus 43 and later show extension lines on the properties page through this
# provider; older ones have only the column.
PROPERTIES = hasattr(Nautilus, "PropertiesModelProvider")
if PROPERTIES:
    from gi.repository import Gio  # noqa: E402

# Items whose text is this get the items of their submenu.
SUITE_NAME = "Quarva.Zip Suite"
# Zip files get an info tip (the suite's zip types; other files have none).
INFOTIP_EXTENSIONS = (".zip",)
TIMEOUT = 20


def qzipshell():
    """The host program: $QUARVA_QZIPSHELL, else on PATH, else in /opt/quarva."""
    explicit = os.environ.get("QUARVA_QZIPSHELL")
    if explicit:
        return explicit
    return shutil.which("qzipshell") or "/opt/quarva/qzipshell"


def menu_text(text):
    """A menu text without its accelerator marks ("E&xtract" -> "Extract", "&&" -> "&")."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "&" and i + 1 < len(text):
            i += 1
        out.append(text[i])
        i += 1
    return "".join(out).replace("\t", " ")


def local_path(info):
    """The local path of a Nautilus file, or None for other locations."""
    location = info.get_location() if hasattr(info, "get_location") else None
    if location is not None:
        path = location.get_path()
        if path:
            return path
    uri = info.get_uri()
    parsed = urlparse(uri)
    if parsed.scheme != "file":
        return None
    return unquote(parsed.path)


def ask_menu(paths, runner=subprocess.run):
    """The items `qzipshell menu --json` offers for `paths`, or [] when none."""
    try:
        # Nautilus hands absolute paths, which cannot pass for options.
        done = runner([qzipshell(), "menu", "--json"] + paths, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                      timeout=TIMEOUT, check=False)
    except (OSError, subprocess.TimeoutExpired):
        return []
    if done.returncode != 0:
        return []
    try:
        return json.loads(done.stdout.decode("utf-8", "replace")).get("items", [])
    except ValueError:
        return []


def invoke(handler, offset, paths):
    """Runs the chosen item; the archive manager it starts outlives this call."""
    command = [qzipshell(), "invoke"]
    if handler:
        command += ["--handler", handler]
    command += [str(offset)] + paths
    try:
        subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, start_new_session=True)
    except OSError:
        pass


_BASES = (GObject.GObject, Nautilus.MenuProvider, Nautilus.ColumnProvider, Nautilus.InfoProvider) + \
    ((Nautilus.PropertiesModelProvider,) if PROPERTIES else ())


class QuarvaMenuProvider(*_BASES):
    def __init__(self):
        super().__init__()
        self._tips = {}

    # ---- context menu
    def _item(self, entry, paths, name):
        label = menu_text(entry.get("text", ""))
        tip = entry.get("help", "")
        item = Nautilus.MenuItem(name=name, label=label, tip=tip, icon="quarvazip" if "bitmap" in entry else "")
        if "submenu" in entry:
            sub = Nautilus.Menu()
            item.set_submenu(sub)
            for i, child in enumerate(entry["submenu"]):
                sub.append_item(self._item(child, paths, "%s::%d" % (name, i)))
        elif "offset" in entry:
            item.connect("activate", lambda _item, e=entry: invoke(e.get("handler"), e["offset"], paths))
        return item

    def _items_for(self, paths):
        if not paths:
            return []
        return [self._item(entry, paths, "QuarvaZip::item%d" % i) for i, entry in enumerate(ask_menu(paths))]

    def get_file_items(self, *args):
        # Nautilus 4: (files); Nautilus 3: (window, files).
        files = args[-1]
        paths = [local_path(f) for f in files]
        if any(p is None for p in paths):
            return []
        return self._items_for(paths)

    def get_background_items(self, *args):
        path = local_path(args[-1])
        return self._items_for([path]) if path else []

    # ---- info tip: a column and a line on the file's properties
    def get_columns(self):
        return (Nautilus.Column(name="QuarvaZip::infotip", attribute="quarva_infotip", label="Archive Contents",
                                description="What the zip file holds, as the suite's info tip tells it"),)

    def infotip(self, path):
        if not path or not path.lower().endswith(INFOTIP_EXTENSIONS) or not os.path.isfile(path):
            return ""
        try:
            stamp = os.stat(path).st_mtime_ns
        except OSError:
            return ""
        cached = self._tips.get(path)
        if cached and cached[0] == stamp:
            return cached[1]
        try:
            done = subprocess.run([qzipshell(), "infotip", path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  timeout=TIMEOUT, check=False)
            tip = done.stdout.decode("utf-8", "replace").strip() if done.returncode == 0 else ""
        except (OSError, subprocess.TimeoutExpired):
            tip = ""
        self._tips[path] = (stamp, tip)
        return tip

    def update_file_info(self, info):
        info.add_string_attribute("quarva_infotip", self.infotip(local_path(info)))

    def get_models(self, files):
        """The info tip of one selected zip file on its properties page."""
        if not PROPERTIES or len(files) != 1:
            return []
        tip = self.infotip(local_path(files[0]))
        if not tip:
            return []
        items = Gio.ListStore.new(item_type=Nautilus.PropertiesItem)
        items.append(Nautilus.PropertiesItem(name="Contents", value=tip))
        return [Nautilus.PropertiesModel(title=SUITE_NAME, model=items)]
