#pragma once
// Helpers for the engine's tests: hand-made archives and an event recorder.

#include "engine/ZipEngine.h"
#include "engine/ZipFormat.h"
#include "engine/ZipWriter.h"

#include <platform/testing/ArchiveBytes.h>
#include <platform/testing/TestSupport.h>

#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quarva::engine::testutil {

namespace fs = std::filesystem;
using quarva::testing::q;

inline std::uint32_t crcOf(const std::string& data) {
    return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

// Raw deflate of `data`, as a zip entry holds it.
inline std::string deflateRaw(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string buf(deflateBound(&zs, uLong(data.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(buf.data());
    zs.avail_out = uInt(buf.size());
    deflate(&zs, Z_FINISH);
    buf.resize(buf.size() - zs.avail_out);
    deflateEnd(&zs);
    return buf;
}

// Reads a file, lets `change` damage its bytes, and writes it back.
template <class Change>
void patchFile(const fs::path& path, Change change) {
    std::string bytes = quarva::testing::readFile(path);
    change(bytes);
    quarva::testing::writeFile(path, bytes);
}

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
        e.crc = crcOf(r.data);
        e.method = r.deflate ? kMethodDeflate : kMethodStored;
        std::string payload = r.deflate ? deflateRaw(r.data) : r.data;
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
    // The reason of every skipped entry (event 10), in order.
    std::vector<std::int16_t> skipReasons() const {
        std::vector<std::int16_t> out;
        for (auto& e : events)
            if (e.id == 10) out.push_back(e.int16At(1));
        return out;
    }
    std::int16_t lastSkip() const {
        auto reasons = skipReasons();
        return reasons.empty() ? -1 : reasons.back();
    }
};

// The entry records (event 6) a fresh engine lists for `names` ("" lists all).
inline std::vector<Recorded> listRecords(const fs::path& archive, const std::string& names = {}) {
    Recorder r;
    ZipEngine e;
    r.attach(e);
    e.setArchiveName(archive.string());
    e.setNames(names);
    EXPECT_EQ(e.list(), 0) << archive;
    return r.events;
}

inline std::vector<std::string> listNames(const fs::path& archive, const std::string& names = {}) {
    std::vector<std::string> out;
    for (auto& r : listRecords(archive, names))
        if (r.id == 6) out.push_back(r.name());
    return out;
}

// A fresh folder and an engine on dir()/t.zip whose events are all recorded.
class EngineTest : public quarva::testing::FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        archive = dir() / "t.zip";
        rec.attach(engine);
        engine.setArchiveName(archive.string());
    }
    // Adds the names ("\r\n" separated) with `action`, then clears the name list.
    std::int16_t addNames(const std::string& names, std::int16_t action = 0) {
        engine.setNames(names);
        std::int16_t st = engine.add(action);
        engine.setNames("");
        return st;
    }
    std::int16_t addFiles(const std::vector<fs::path>& files, std::int16_t action = 0) {
        std::string names;
        for (auto& f : files) names += f.string() + "\r\n";
        return addNames(names, action);
    }
    std::vector<std::string> listNames() const { return testutil::listNames(archive); }

    fs::path archive;
    ZipEngine engine;
    Recorder rec;
};

}  // namespace quarva::engine::testutil
