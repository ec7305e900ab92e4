#pragma once
// Helpers for the engine's tests: hand-made archives and an event recorder.

#include "engine/ZipEngine.h"
#include "engine/ZipFormat.h"
#include "engine/ZipWriter.h"

#include <platform/testing/TestSupport.h>

#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quarva::engine::testutil {

struct RawEntry {
    std::string name;
    std::string data;
    std::uint32_t unixMode = 0100644;
    bool deflate = false;
};

// Writes an archive with exactly these names (hostile ones included) through the
// engine's own writer primitives.
inline bool makeZip(const std::filesystem::path& path, const std::vector<RawEntry>& entries,
                    const std::string& comment = {}) {
    OutputFile out;
    if (!out.createBeside(path.string())) return false;
    ZipWriter w(out);
    for (const auto& r : entries) {
        ZipEntry e;
        e.name = e.rawName = r.name;
        e.versionMadeBy = (3 << 8) | 63;
        e.versionNeeded = 20;
        e.mtime = 1704164645;
        unixToDos(e.mtime, e.dosDate, e.dosTime);
        e.externalAttr = r.unixMode << 16;
        e.size = r.data.size();
        e.crc = std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(r.data.data()), uInt(r.data.size())));
        std::string payload = r.data;
        e.method = kMethodStored;
        if (r.deflate) {
            e.method = kMethodDeflate;
            z_stream zs{};
            deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
            std::string buf(deflateBound(&zs, uLong(r.data.size())) + 16, '\0');
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(r.data.data()));
            zs.avail_in = uInt(r.data.size());
            zs.next_out = reinterpret_cast<Bytef*>(buf.data());
            zs.avail_out = uInt(buf.size());
            deflate(&zs, Z_FINISH);
            buf.resize(buf.size() - zs.avail_out);
            deflateEnd(&zs);
            payload = buf;
        }
        e.packedSize = payload.size();
        if (!w.beginEntry(e, false, true) || !w.writeData(payload.data(), payload.size()) || !w.endEntry(e))
            return false;
    }
    return w.finish(comment) && out.commit();
}

struct Recorded {
    int id;
    std::vector<DispatchValue> args;
    std::string name() const {
        if (!args.empty())
            if (auto* s = std::get_if<std::string>(&args[0])) return *s;
        return {};
    }
    std::int16_t int16At(std::size_t i) const {
        if (i < args.size())
            if (auto* v = std::get_if<std::int16_t>(&args[i])) return *v;
        return -1;
    }
};

// Records every dispatch event; optional hooks answer events 7 and 8.
struct Recorder {
    std::vector<Recorded> events;
    std::function<void(std::vector<DispatchValue>&)> onPassword;
    std::function<void(std::int16_t)> onDisk;
    void attach(ZipEngine& engine) {
        engine.setEventHandler([this](int id, std::vector<DispatchValue>& args) {
            if (id == 8 && onPassword) onPassword(args);
            if (id == 7 && onDisk) onDisk(std::get<std::int16_t>(args[0]));
            events.push_back({id, args});
        });
    }
    std::vector<std::string> names(int id) const {
        std::vector<std::string> out;
        for (auto& e : events)
            if (e.id == id) out.push_back(e.name());
        return out;
    }
    std::size_t count(int id) const { return names(id).size(); }
};

inline std::string q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

}  // namespace quarva::engine::testutil
