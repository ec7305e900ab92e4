// qzipshell: plays the desktop shell's part for the shell extension, so that
// Linux file managers (and people) can use its menus, drops and info tips.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <strings.h>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "shellext/com/Guids.h"
#include "shellext/com/Menu.h"
#include "shellext/com/WideText.h"
#include "shellext/host/ShellHost.h"

namespace fs = std::filesystem;
using namespace quarva::com;
using namespace quarva::shellhost;

namespace {

constexpr UINT kFirstId = 1;
constexpr UINT kLastId = 0x7FFF;

void usage() {
    std::fputs(
        "usage: qzipshell menu [--json] PATH...\n"
        "       qzipshell invoke [--handler NAME] OFFSET PATH...\n"
        "       qzipshell dragmenu [--json] TARGET FILE...\n"
        "       qzipshell dragmenu-invoke [--handler NAME] OFFSET TARGET FILE...\n"
        "       qzipshell drop ZIPFILE FILE...\n"
        "       qzipshell infotip PATH\n"
        "       qzipshell search [OFFSET]\n"
        "       qzipshell register DIR\n"
        "       qzipshell unregister DIR\n",
        stderr);
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// A handler created, initialised and asked for its items.
struct MenuHandler {
    HandlerRef ref;
    IContextMenu* menu = nullptr;
    UINT firstId = 0;
    UINT count = 0;
};

HRESULT loadAndCreate(const HandlerRef& ref, REFIID riid, void** ppv, std::string* error) {
    // Libraries stay loaded for the life of this process (see ServerLibrary).
    static std::vector<std::pair<std::string, ServerLibrary>> loaded;
    for (auto& [path, lib] : loaded)
        if (path == ref.server) return createObject(lib, ref.clsid, riid, ppv);
    ServerLibrary lib;
    if (!lib.load(ref.server, error)) return E_FAIL;
    loaded.emplace_back(ref.server, lib);
    return createObject(lib, ref.clsid, riid, ppv);
}

// The shell's part for handlers bound to one file (drop target, info tip): create
// the handler, load the file through IPersistFile, then ask for `riid`. On failure
// the reason is printed and false returned.
bool openFileHandler(const HandlerRef& ref, const std::string& path, REFIID riid, void** ppv, const char* what) {
    std::string error;
    IPersistFile* persist = nullptr;
    HRESULT hr = loadAndCreate(ref, IID_IPersistFile, reinterpret_cast<void**>(&persist), &error);
    if (FAILED(hr)) {
        std::fprintf(stderr, "qzipshell: %s\n", error.empty() ? hresultText(hr).c_str() : error.c_str());
        return false;
    }
    std::u16string wide = toWide(path);
    hr = persist->Load(wide.c_str(), STGM_READ);
    if (SUCCEEDED(hr)) hr = persist->QueryInterface(riid, ppv);
    persist->Release();
    if (FAILED(hr)) {
        std::fprintf(stderr, "qzipshell: the %s handler failed (%s)\n", what, hresultText(hr).c_str());
        return false;
    }
    return true;
}

// The shell's part for context and right-drag menus: every handler of the kind,
// initialised with the selection, fills the same menu with its own range of ids.
std::vector<MenuHandler> buildMenu(IMenu* menu, const std::vector<HandlerRef>& refs, const char* folder,
                                   const std::vector<std::string>& paths) {
    std::vector<MenuHandler> ready;
    CDropData* data = CDropData::create(paths);
    if (!data) return ready;
    ITEMIDLIST pidl{folder};
    UINT nextId = kFirstId;
    for (const auto& ref : refs) {
        std::string error;
        IShellExtInit* init = nullptr;
        HRESULT hr = loadAndCreate(ref, IID_IShellExtInit, reinterpret_cast<void**>(&init), &error);
        if (FAILED(hr)) {
            std::fprintf(stderr, "qzipshell: handler %s: %s\n", ref.name.c_str(),
                         error.empty() ? hresultText(hr).c_str() : error.c_str());
            continue;
        }
        hr = init->Initialize(folder ? &pidl : nullptr, data, nullptr);
        IContextMenu* cm = nullptr;
        if (SUCCEEDED(hr)) hr = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&cm));
        init->Release();
        if (FAILED(hr)) continue;  // the handler has nothing to offer for this selection
        hr = cm->QueryContextMenu(menu, static_cast<UINT>(menu->GetMenuItemCount()), nextId, kLastId, CMF_NORMAL);
        if (FAILED(hr)) {
            cm->Release();
            continue;
        }
        UINT count = HRESULT_CODE(hr);
        ready.push_back({ref, cm, nextId, count});
        nextId += count;
    }
    data->Release();
    return ready;
}

void releaseAll(std::vector<MenuHandler>& handlers) {
    for (auto& h : handlers)
        if (h.menu) h.menu->Release();
    handlers.clear();
}

const MenuHandler* handlerOfId(const std::vector<MenuHandler>& handlers, UINT id) {
    for (const auto& h : handlers)
        if (id >= h.firstId && id < h.firstId + h.count) return &h;
    return nullptr;
}

std::string helpText(const MenuHandler& h, UINT offset, bool wide) {
    if (wide) {
        OLECHAR buf[512] = {};
        if (h.menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(buf), 512) != S_OK)
            return {};
        return toUtf8(buf);
    }
    char buf[512] = {};
    if (h.menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, buf, sizeof buf) != S_OK) return {};
    return buf;
}

void printMenuText(IMenu* menu, const std::vector<MenuHandler>& handlers, int depth) {
    for (int i = 0; i < menu->GetMenuItemCount(); ++i) {
        char text[256] = {};
        menu->GetMenuString(static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
        HBITMAP bitmap = menu->GetMenuItemBitmap(i);
        std::string icon = bitmap ? " [bitmap " + std::to_string(bitmap->id) + "]" : "";
        if (IMenu* sub = menu->GetSubMenu(i)) {
            std::printf("%s%s >%s\n", indent.c_str(), text, icon.c_str());
            printMenuText(sub, handlers, depth + 1);
            continue;
        }
        UINT id = menu->GetMenuItemID(i);
        const MenuHandler* h = handlerOfId(handlers, id);
        if (!h) {
            std::printf("%s%s%s\n", indent.c_str(), text, icon.c_str());
            continue;
        }
        UINT offset = id - h->firstId;
        std::printf("%s%u  %s%s\n", indent.c_str(), offset, text, icon.c_str());
        std::string help = helpText(*h, offset, false);
        if (!help.empty()) std::printf("%s     help: %s\n", indent.c_str(), help.c_str());
    }
}

std::string menuJson(IMenu* menu, const std::vector<MenuHandler>& handlers) {
    std::ostringstream out;
    out << "[";
    for (int i = 0; i < menu->GetMenuItemCount(); ++i) {
        if (i) out << ",";
        char text[256] = {};
        menu->GetMenuString(static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        out << "{\"position\":" << i << ",\"text\":" << jsonString(text);
        if (HBITMAP bitmap = menu->GetMenuItemBitmap(i)) out << ",\"bitmap\":" << bitmap->id;
        if (IMenu* sub = menu->GetSubMenu(i)) {
            out << ",\"submenu\":" << menuJson(sub, handlers) << "}";
            continue;
        }
        UINT id = menu->GetMenuItemID(i);
        out << ",\"id\":" << id;
        if (const MenuHandler* h = handlerOfId(handlers, id)) {
            UINT offset = id - h->firstId;
            out << ",\"handler\":" << jsonString(h->ref.name) << ",\"offset\":" << offset;
            std::string help = helpText(*h, offset, false);
            if (!help.empty()) out << ",\"help\":" << jsonString(help);
            std::string helpW = helpText(*h, offset, true);
            if (!helpW.empty()) out << ",\"helpWide\":" << jsonString(helpW);
        }
        out << "}";
    }
    out << "]";
    return out.str();
}

int showMenu(IMenu* menu, const std::vector<MenuHandler>& handlers, bool json) {
    if (json) {
        std::ostringstream out;
        out << "{\"handlers\":[";
        for (std::size_t i = 0; i < handlers.size(); ++i) {
            const auto& h = handlers[i];
            if (i) out << ",";
            out << "{\"name\":" << jsonString(h.ref.name) << ",\"clsid\":" << jsonString(guidToString(h.ref.clsid))
                << ",\"firstId\":" << h.firstId << ",\"count\":" << h.count << "}";
        }
        out << "],\"items\":" << menuJson(menu, handlers) << "}\n";
        std::fputs(out.str().c_str(), stdout);
    } else {
        printMenuText(menu, handlers, 0);
    }
    return 0;
}

HandlerRegistry registryOfEnvironment() { return HandlerRegistry(quarva::platform::Registry::fromEnvironment()); }

void printNotes(const std::vector<std::string>& notes) {
    for (const auto& n : notes) std::fprintf(stderr, "qzipshell: %s\n", n.c_str());
}

bool parseOffset(const std::string& text, UINT* offset) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long v = std::stoul(text);
    if (v > 0xFFFF) return false;
    *offset = static_cast<UINT>(v);
    return true;
}

// menu / invoke / dragmenu / dragmenu-invoke
int runMenu(std::vector<std::string> args, bool drag, bool invoke) {
    bool json = false;
    std::string handlerName;
    UINT offset = 0;
    while (!args.empty() && args.front().starts_with("--")) {
        if (args.front() == "--json" && !invoke) {
            json = true;
            args.erase(args.begin());
        } else if (args.front() == "--handler" && invoke && args.size() > 1) {
            handlerName = args[1];
            args.erase(args.begin(), args.begin() + 2);
        } else {
            usage();
            return 2;
        }
    }
    if (invoke) {
        if (args.empty() || !parseOffset(args.front(), &offset)) {
            std::fputs("qzipshell: OFFSET must be a number from 0 to 65535\n", stderr);
            return 2;
        }
        args.erase(args.begin());
    }
    if (args.empty() || (drag && args.size() < 2)) {
        usage();
        return 2;
    }
    std::string target;
    if (drag) {
        target = shellPath(args.front());
        args.erase(args.begin());
    }
    std::vector<std::string> paths;
    for (const auto& a : args) paths.push_back(shellPath(a));

    HandlerRegistry registry = registryOfEnvironment();
    std::vector<std::string> notes;
    std::vector<HandlerRef> refs =
        drag ? registry.handlers(registry.typeKeysFor(target), "DragDropHandlers", &notes)
             : registry.handlers(registry.typeKeysFor(paths.front()), "ContextMenuHandlers", &notes);
    printNotes(notes);
    IMenu* menu = CMenu::create();
    if (!menu) return 1;
    std::vector<MenuHandler> handlers = buildMenu(menu, refs, drag ? target.c_str() : nullptr, paths);
    int rc = 0;
    if (!invoke) {
        rc = showMenu(menu, handlers, json);
    } else {
        const MenuHandler* chosen = nullptr;
        for (const auto& h : handlers)
            if (handlerName.empty() || strcasecmp(h.ref.name.c_str(), handlerName.c_str()) == 0) {
                chosen = &h;
                break;
            }
        if (!chosen) {
            std::fputs("qzipshell: no handler offers commands for this selection\n", stderr);
            rc = 1;
        } else {
            CMINVOKECOMMANDINFO info{};
            info.cbSize = sizeof info;
            info.lpVerb = MAKEINTRESOURCEA(offset);
            info.lpDirectory = drag ? target.c_str() : nullptr;
            info.nShow = SW_SHOWNORMAL;
            HRESULT hr = chosen->menu->InvokeCommand(&info);
            if (FAILED(hr)) {
                std::fprintf(stderr, "qzipshell: the command was refused (%s)\n", hresultText(hr).c_str());
                rc = 1;
            }
        }
    }
    releaseAll(handlers);
    menu->Release();
    return rc;
}

int runDrop(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        usage();
        return 2;
    }
    const std::string archive = shellPath(args[0]);
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) files.push_back(shellPath(args[i]));
    HandlerRegistry registry = registryOfEnvironment();
    const std::string type = registry.fileTypeOf(archive);
    std::string note;
    auto ref = type.empty() ? std::nullopt : registry.handlerAt(type + "\\shellex\\DropHandler", &note);
    if (!ref) {
        std::fprintf(stderr, "qzipshell: %s accepts no drops%s%s\n", archive.c_str(), note.empty() ? "" : ": ",
                     note.c_str());
        return 1;
    }
    IDropTarget* target = nullptr;
    if (!openFileHandler(*ref, archive, IID_IDropTarget, reinterpret_cast<void**>(&target), "drop")) return 1;
    HRESULT hr;
    CDropData* data = CDropData::create(files);
    int rc = 0;
    DWORD effect = DROPEFFECT_COPY;
    hr = data ? target->DragEnter(data, MK_LBUTTON, POINTL{0, 0}, &effect) : E_OUTOFMEMORY;
    if (FAILED(hr) || effect == DROPEFFECT_NONE) {
        target->DragLeave();
        std::fprintf(stderr, "qzipshell: %s refuses the drop (%s)\n", archive.c_str(), hresultText(hr).c_str());
        rc = 1;
    } else {
        target->DragOver(MK_LBUTTON, POINTL{0, 0}, &effect);
        effect = DROPEFFECT_COPY;
        hr = target->Drop(data, 0, POINTL{0, 0}, &effect);
        if (FAILED(hr)) {
            std::fprintf(stderr, "qzipshell: the drop failed (%s)\n", hresultText(hr).c_str());
            rc = 1;
        }
    }
    if (data) data->Release();
    target->Release();
    return rc;
}

int runInfoTip(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        usage();
        return 2;
    }
    const std::string path = shellPath(args[0]);
    HandlerRegistry registry = registryOfEnvironment();
    const std::string type = registry.fileTypeOf(path);
    std::string note;
    auto ref =
        type.empty() ? std::nullopt : registry.handlerAt(type + "\\shellex\\" + guidToString(IID_IQueryInfo), &note);
    if (!ref) {
        std::fprintf(stderr, "qzipshell: no info tip for %s%s%s\n", path.c_str(), note.empty() ? "" : ": ",
                     note.c_str());
        return 1;
    }
    IQueryInfo* info = nullptr;
    if (!openFileHandler(*ref, path, IID_IQueryInfo, reinterpret_cast<void**>(&info), "info-tip")) return 1;
    LPOLESTR tip = nullptr;
    HRESULT hr = info->GetInfoTip(0, &tip);
    info->Release();
    if (FAILED(hr) || !tip) {
        std::fprintf(stderr, "qzipshell: the info-tip handler failed (%s)\n", hresultText(hr).c_str());
        return 1;
    }
    std::printf("%s\n", toUtf8(tip).c_str());
    CoTaskMemFree(tip);
    return 0;
}

int runSearch(const std::vector<std::string>& args) {
    UINT offset = 0;
    if (args.size() > 1 || (args.size() == 1 && !parseOffset(args[0], &offset))) {
        usage();
        return 2;
    }
    HandlerRegistry registry = registryOfEnvironment();
    std::string note;
    auto ref = registry.classOfProgId("Zip.ZipSearch", &note);
    if (!ref) {
        std::fprintf(stderr, "qzipshell: %s\n", note.c_str());
        return 1;
    }
    std::string error;
    IContextMenu* menu = nullptr;
    HRESULT hr = loadAndCreate(*ref, IID_IContextMenu, reinterpret_cast<void**>(&menu), &error);
    if (FAILED(hr)) {
        std::fprintf(stderr, "qzipshell: %s\n", error.empty() ? hresultText(hr).c_str() : error.c_str());
        return 1;
    }
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    hr = menu->InvokeCommand(&info);
    menu->Release();
    if (FAILED(hr)) {
        std::fprintf(stderr, "qzipshell: the search was refused (%s)\n", hresultText(hr).c_str());
        return 1;
    }
    return 0;
}

int runRegistration(const std::vector<std::string>& args, bool registering) {
    if (args.size() != 1) {
        usage();
        return 2;
    }
    const std::string path = (fs::absolute(args[0]) / "libQZipShell32.so").lexically_normal().string();
    ServerLibrary lib;
    std::string error;
    if (!lib.load(path, &error)) {
        std::fprintf(stderr, "qzipshell: %s\n", error.c_str());
        return 1;
    }
    HRESULT hr = registering ? lib.registerServer() : lib.unregisterServer();
    if (FAILED(hr)) {
        std::fprintf(stderr, "qzipshell: %s failed (%s)\n", registering ? "DllRegisterServer" : "DllUnregisterServer",
                     hresultText(hr).c_str());
        return 1;
    }
    std::printf("%s %s\n", registering ? "registered" : "unregistered", path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    // Every command but the registration may hand work to the archive manager or let
    // the format library unpack into the suite's temporary folder: without a private
    // one that can be used, nothing is done.
    const bool usesTempFolder = command == "menu" || command == "invoke" || command == "dragmenu" ||
                                command == "dragmenu-invoke" || command == "drop" || command == "infotip" ||
                                command == "search";
    if (usesTempFolder && quarva::platform::tempFolder().empty()) {
        std::fprintf(stderr, "qzipshell: %s\n", quarva::platform::tempFolderProblem().c_str());
        return 1;
    }
    if (command == "menu") return runMenu(args, false, false);
    if (command == "invoke") return runMenu(args, false, true);
    if (command == "dragmenu") return runMenu(args, true, false);
    if (command == "dragmenu-invoke") return runMenu(args, true, true);
    if (command == "drop") return runDrop(args);
    if (command == "infotip") return runInfoTip(args);
    if (command == "search") return runSearch(args);
    if (command == "register") return runRegistration(args, true);
    if (command == "unregister") return runRegistration(args, false);
    if (command == "--help" || command == "-h" || command == "help") {
        usage();
        return 0;
    }
    std::fprintf(stderr, "qzipshell: unknown command \"%s\"\n", command.c_str());
    usage();
    return 2;
}
