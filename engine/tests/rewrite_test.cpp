// Rewrites keep what they do not change: old entries whose replacement cannot be
// read, a self-extractor's program, untouched entries byte for byte, attributes on
// repair, dates after 2038, and damaged end records are reported by test.

#include "engine/ZipEngine.h"
#include "engine/ZipReader.h"
#include "EngineTestUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using namespace quarva::testing;

namespace {

class Rewrite : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine.setSavePathInfo(false);
    }
    std::int16_t add(const std::vector<fs::path>& files) { return addFiles(files); }
    ZipDirectory directory(const fs::path& path) {
        InputFile f;
        ZipDirectory d;
        EXPECT_EQ(f.open(path.string()), 0);
        EXPECT_EQ(readDirectory(f, d), 0);
        return d;
    }
    const ZipEntry* find(const ZipDirectory& d, const std::string& name) {
        for (auto& e : d.entries)
            if (e.name == name) return &e;
        return nullptr;
    }
    std::string localExtraOf(const fs::path& path, const ZipDirectory& d, const ZipEntry& e) {
        std::string bytes = readFile(path);
        std::size_t at = std::size_t(e.localOffset + std::uint64_t(d.bias));
        auto u16 = [&](std::size_t i) {
            return std::size_t(static_cast<unsigned char>(bytes[i])) |
                   (std::size_t(static_cast<unsigned char>(bytes[i + 1])) << 8);
        };
        return bytes.substr(at + 30 + u16(at + 26), u16(at + 28));
    }
};

std::string field(std::uint16_t id, const std::string& body) {
    std::string f;
    put16(f, id);
    put16(f, std::uint16_t(body.size()));
    return f + body;
}

// An archive made elsewhere: a DOS-made entry with a Unicode path field, a UTF-8
// comment without the UTF-8 flag, an unknown field, and a plain second entry.
void makeForeignZip(const fs::path& path) {
    OutputFile out;
    ASSERT_TRUE(out.createBeside(path.string()));
    ZipWriter w(out);
    ZipEntry e;
    e.rawName =
        "gr\x94\xe1"
        "e.txt";  // CP437
    e.name = e.rawName;
    e.versionMadeBy = 20;
    e.versionNeeded = 20;
    e.flags = 0;
    e.mtime = 1704164645;
    unixToDos(e.mtime, e.dosDate, e.dosTime);
    e.externalAttr = 0x21;
    e.internalAttr = 1;
    std::string data = "data";
    e.size = e.packedSize = data.size();
    e.crc = crcOf(data);
    std::string upath = "\x01";
    put32(upath, crcOf(e.rawName));
    upath += "größe.txt";
    e.verbatim = true;
    e.localExtra = field(0x7075, upath) + field(0xCAFE, "xyz");
    e.centralExtra = field(0x7075, upath) + field(0xCAFE, "abc");
    e.rawComment = "Größe \xe2\x82\xac";
    ASSERT_TRUE(w.beginEntry(e, false, true) && w.writeData(data.data(), data.size()) && w.endEntry(e));
    ZipEntry b;
    b.name = b.rawName = "b.txt";
    b.versionMadeBy = (3 << 8) | 30;
    b.versionNeeded = 10;
    b.mtime = 1704164645;
    unixToDos(b.mtime, b.dosDate, b.dosTime);
    b.externalAttr = 0100600u << 16;
    b.size = b.packedSize = 1;
    b.crc = crcOf("b");
    ASSERT_TRUE(w.beginEntry(b, false, true) && w.writeData("b", 1) && w.endEntry(b));
    ASSERT_TRUE(w.finish("caf\xe9") && out.commit());  // a CP437 archive comment
}

}  // namespace

TEST_F(Rewrite, AReplacementThatCannotBeReadKeepsTheOldEntry) {
    fs::path a = dir() / "a.txt", big = dir() / "big.bin";
    writeFile(a, "old a");
    writeFile(big, std::string(9u << 20, 'x'));  // large files are read after event 1
    ASSERT_EQ(add({a, big}), 0);
    // The large file vanishes once its replacement has started.
    writeFile(big, std::string(9u << 20, 'y'));
    ZipEngine e2;
    e2.setArchiveName(archive.string());
    e2.setSavePathInfo(false);
    e2.setEventHandler([&](int id, std::vector<DispatchValue>&) {
        if (id == int(EventId::Starting)) fs::remove(big);
    });
    e2.setNames(big.string() + "\r\n");
    EXPECT_EQ(e2.add(0), 0);
    ZipDirectory d = directory(archive);
    ASSERT_NE(find(d, "big.bin"), nullptr);
    EXPECT_EQ(find(d, "big.bin")->size, 9u << 20);
    engine.setExtractFolder((dir() / "out").string());
    engine.setNames("");
    ASSERT_EQ(engine.extract(0), 0);
    EXPECT_EQ(readFile(dir() / "out" / "big.bin"), std::string(9u << 20, 'x'));
    // A file that cannot be opened (as a user without the right) and a fifo.
    if (::geteuid() != 0) {
        writeFile(a, "new a");
        ::chmod(a.c_str(), 0);
        EXPECT_EQ(add({a}), 0);
        ::chmod(a.c_str(), 0600);
        ASSERT_NE(find(directory(archive), "a.txt"), nullptr);
    }
    fs::remove(a);
    ASSERT_EQ(::mkfifo(a.c_str(), 0600), 0);
    engine.setIncludeHidden(true);
    add({a});
    d = directory(archive);
    ASSERT_NE(find(d, "a.txt"), nullptr);
    EXPECT_EQ(find(d, "a.txt")->size, 5u);
}

TEST_F(Rewrite, UntouchedEntriesStayByteForByte) {
    makeForeignZip(archive);
    ZipDirectory before = directory(archive);
    ASSERT_EQ(before.entries.size(), 2u);
    const ZipEntry& g0 = before.entries[0];
    ASSERT_EQ(g0.name, "größe.txt");
    std::string local0 = localExtraOf(archive, before, g0);
    fs::path c = dir() / "c.txt";
    writeFile(c, "c");
    ASSERT_EQ(add({c}), 0);  // add
    engine.setNames("b.txt\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);  // delete
    ASSERT_EQ(add({c}), 0);                // replace another entry
    for (int round = 0; round < 2; ++round) {
        ZipDirectory after = directory(archive);
        const ZipEntry* g = find(after, "größe.txt");
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->rawName, g0.rawName);
        EXPECT_EQ(g->centralExtra, g0.centralExtra);
        EXPECT_EQ(localExtraOf(archive, after, *g), local0);
        EXPECT_EQ(g->flags, g0.flags);
        EXPECT_EQ(g->versionMadeBy, g0.versionMadeBy);
        EXPECT_EQ(g->externalAttr, g0.externalAttr);
        EXPECT_EQ(g->internalAttr, g0.internalAttr);
        EXPECT_EQ(g->rawComment, g0.rawComment);
        EXPECT_EQ(after.rawComment, "caf\xe9");
        EXPECT_EQ(find(after, "b.txt"), nullptr);
        engine.setNames("");
        ASSERT_EQ(engine.repair(0), 0);  // the repair keeps them too
    }
}

TEST_F(Rewrite, ASelfExtractorKeepsItsProgram) {
    const std::string program =
        "#!/bin/sh\necho unpacking\nexit 0\n# PK\x03\x04 in the program\n" + std::string(300, '\x90');
    fs::path a = dir() / "a.txt", b = dir() / "b.txt";
    writeFile(a, "alpha");
    writeFile(b, "beta");
    ASSERT_EQ(add({a, b}), 0);
    writeFile(archive, program + readFile(archive));  // prepended: offsets still count from the zip
    auto check = [&](const char* step, std::size_t entries) {
        SCOPED_TRACE(step);
        std::string bytes = readFile(archive);
        EXPECT_EQ(bytes.substr(0, program.size()), program);
        ZipDirectory d = directory(archive);
        EXPECT_EQ(d.bias, 0);  // offsets now count from the start of the file
        EXPECT_EQ(d.entries.size(), entries);
        ZipEngine t;
        t.setArchiveName(archive.string());
        EXPECT_EQ(t.test(), 0);
        if (quarva::testing::haveTool("unzip")) {
            std::string out;
            EXPECT_EQ(runCommand("unzip -tq '" + archive.string() + "'", &out), 0) << out;
        }
    };
    fs::path c = dir() / "c.txt";
    writeFile(c, "gamma");
    ASSERT_EQ(add({c}), 0);
    check("add", 3);
    engine.setNames("b.txt\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);
    check("delete", 2);
    engine.setNames("");
    ASSERT_EQ(engine.repair(0), 0);
    check("repair", 2);
    // Repair with the directory gone: the program is still recognised as one.
    std::string bytes = readFile(archive);
    ZipDirectory d = directory(archive);
    writeFile(archive, bytes.substr(0, std::size_t(d.centralOffset)));
    ASSERT_EQ(engine.repair(0), 0);
    check("repair without directory", 2);
}

TEST_F(Rewrite, RepairKeepsAttributesTheHeadersHold) {
    fs::path exe = dir() / "run.sh", link = dir() / "link";
    writeFile(exe, "#!/bin/sh\n");
    ::chmod(exe.c_str(), 0750);
    fs::create_symlink("run.sh", link);
    ASSERT_EQ(add({exe, link}), 0);
    std::string whole = readFile(archive);
    // The end record is lost; the directory records are still there.
    writeFile(archive, whole.substr(0, whole.size() - 10));
    ASSERT_EQ(engine.repair(0), 0);
    ZipDirectory d = directory(archive);
    ASSERT_NE(find(d, "run.sh"), nullptr);
    EXPECT_EQ(find(d, "run.sh")->unixMode(), 0100750u);
    ASSERT_NE(find(d, "link"), nullptr);
    EXPECT_TRUE(find(d, "link")->isSymlink());
    // The whole directory is lost: no mode is claimed, extraction uses the defaults.
    writeFile(archive, whole.substr(0, std::size_t(d.centralOffset)));
    ASSERT_EQ(engine.repair(0), 0);
    d = directory(archive);
    ASSERT_NE(find(d, "run.sh"), nullptr);
    EXPECT_EQ(find(d, "run.sh")->unixMode(), 0u);
    EXPECT_NE(find(d, "run.sh")->versionMadeBy >> 8, 3);
    engine.setExtractFolder((dir() / "out").string());
    ASSERT_EQ(engine.extract(0), 0);
    struct stat st {};
    ASSERT_EQ(::stat((dir() / "out" / "run.sh").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0777, 0u);
}

TEST_F(Rewrite, DatesAfter2038RoundTrip) {
    fs::path f = dir() / "future.txt";
    writeFile(f, "later");
    const std::int64_t when = 2537049600;  // 2050-05-25 UTC, beyond 32-bit signed time
    struct timespec ts[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), ts, 0), 0);
    ASSERT_EQ(add({f}), 0);
    EXPECT_EQ(directory(archive).entries.at(0).mtime, when);
    engine.setExtractFolder((dir() / "out").string());
    engine.setNames("");
    ASSERT_EQ(engine.extract(0), 0);
    struct stat st {};
    ASSERT_EQ(::stat((dir() / "out" / "future.txt").c_str(), &st), 0);
    EXPECT_EQ(std::int64_t(st.st_mtime), when);
    if (quarva::testing::haveTool("zipinfo")) {
        std::string out;
        ASSERT_EQ(runCommand("TZ=UTC zipinfo -v '" + archive.string() + "'", &out), 0) << out;
        EXPECT_NE(out.find("(UT extra field modtime): 2050 May 25 00:00:00 UTC"), std::string::npos) << out;
    }
    // Written elsewhere: a date before 1970 is negative in the same field.
    ZipEntry e;
    e.dosDate = (0 << 9) | (1 << 5) | 1;  // 1980, as close as DOS gets
    std::string x = field(0x5455, std::string("\x01", 1) + std::string("\x00\x00\x00\xF0", 4));
    ASSERT_TRUE(parseExtra(x, e, true, false, false, false, false));
    EXPECT_EQ(e.mtime, std::int64_t(std::int32_t(0xF0000000u)));
}

TEST_F(Rewrite, TestReportsDamagedEndRecords) {
    fs::path a = dir() / "a.txt";
    writeFile(a, "alpha");
    ASSERT_EQ(add({a}), 0);
    ASSERT_EQ(engine.test(), 0);
    // A zip64 end record whose locator points past the end of the file.
    std::string bytes = readFile(archive);
    ZipDirectory d = directory(archive);
    std::string end = bytes.substr(bytes.size() - 22), z;
    put32(z, kSigEnd64);
    put64(z, 44);
    put16(z, 45);
    put16(z, 45);
    put32(z, 0);
    put32(z, 0);
    put64(z, 1);
    put64(z, 1);
    put64(z, d.centralSize);
    put64(z, d.centralOffset);
    put32(z, kSigEnd64Locator);
    put32(z, 0);
    put64(z, 0x7FFFFFFFFFull);
    put32(z, 1);
    writeFile(archive, bytes.substr(0, bytes.size() - 22) + z + end);
    ZipDirectory damaged = directory(archive);
    EXPECT_NE(damaged.endProblem.find("past the end"), std::string::npos) << damaged.endProblem;
    EXPECT_EQ(engine.test(), kStatusCorrupt);
    EXPECT_EQ(rec.count(int(EventId::Tested)), 2u);  // the entry itself still tested
    engine.setExtractFolder((dir() / "out").string());
    EXPECT_EQ(engine.extract(0), 0);
    // Repair writes sound end records again.
    ASSERT_EQ(engine.repair(0), 0);
    EXPECT_EQ(engine.test(), 0);
}

TEST_F(Rewrite, AnArchiveReachedThroughALinkIsChangedWhereItLies) {
    fs::create_directories(dir() / "real");
    fs::path target = dir() / "real" / "t.zip", a = dir() / "a.txt", b = dir() / "b.txt";
    writeFile(a, "alpha");
    writeFile(b, "beta");
    fs::create_symlink("real/t.zip", archive);
    ASSERT_EQ(add({a}), 0);  // a new archive through a dangling link
    ASSERT_EQ(add({b}), 0);
    engine.setNames("a.txt\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);
    engine.setNames("");
    ASSERT_EQ(engine.repair(0), 0);
    ASSERT_EQ(engine.setComment("through the link"), 0);
    EXPECT_TRUE(fs::is_symlink(archive));
    ZipDirectory d = directory(target);
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(d.entries[0].name, "b.txt");
    EXPECT_EQ(d.comment, "through the link");
    // Nothing was left beside the link or the target.
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(dir() / "real")) files += e.path().filename() != "t.zip";
    EXPECT_EQ(files, 0u);
}

TEST_F(Rewrite, NamesOf255BytesExtract) {
    std::vector<RawEntry> entries;
    for (std::size_t len : {245u, 250u, 255u})
        entries.push_back({std::string(len - 4, 'n') + ".txt", std::to_string(len)});
    ASSERT_TRUE(makeZip(archive, entries));
    engine.setExtractFolder((dir() / "out").string());
    ASSERT_EQ(engine.extract(0), 0);
    for (auto& e : entries) EXPECT_EQ(readFile(dir() / "out" / e.name), e.data) << e.name.size();
    // Over themselves, and an archive of such a name changed in place.
    engine.setOverwrite(1);
    ASSERT_EQ(engine.extract(0), 0);
    fs::path longArchive = dir() / (std::string(251, 'z') + ".zip");
    fs::copy_file(archive, longArchive);
    engine.setArchiveName(longArchive.string());
    engine.setNames(entries[0].name + "\r\n");
    EXPECT_EQ(engine.deleteEntries(), 0);
}

// A delete and a replace copy the kept entries' local records as they stand,
// descriptors included, and the result reads everywhere.
TEST_F(Rewrite, DeleteAndReplaceCopyKeptRecordsAsTheyStand) {
    if (!quarva::testing::haveTool("zip") || !quarva::testing::haveTool("unzip")) GTEST_SKIP() << "Info-ZIP missing";
    writeFile(dir() / "a.txt", std::string(3000, 'a'));
    writeFile(dir() / "b.txt", "bee");
    writeFile(dir() / "c.txt", "sea");
    // Written into a pipe, every entry carries a data descriptor.
    ASSERT_EQ(runCommand("cd '" + dir().string() + "' && zip -q - c.txt a.txt b.txt | cat > t.zip"), 0);
    const std::string source = readFile(archive);
    ZipDirectory before = directory(archive);
    ASSERT_EQ(before.entries.size(), 3u);
    ASSERT_TRUE(before.entries[0].flags & 0x0008);
    const std::string kept = source.substr(std::size_t(before.entries[0].localOffset),
                                           std::size_t(before.entries[1].localOffset - before.entries[0].localOffset));
    const std::string last = source.substr(std::size_t(before.entries[2].localOffset),
                                           std::size_t(before.centralOffset - before.entries[2].localOffset));
    engine.setNames("a.txt\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);
    EXPECT_EQ(readFile(archive).rfind(kept + last, 0), 0u) << "the kept records follow each other unchanged";
    std::string out;
    EXPECT_EQ(runCommand("unzip -tq '" + archive.string() + "'", &out), 0) << out;
    ZipDirectory after = directory(archive);
    ASSERT_EQ(after.entries.size(), 2u);
    EXPECT_EQ(after.entries[1].localOffset, kept.size());
    // Replacing b.txt keeps c.txt's record; the archive comment stays.
    ASSERT_EQ(engine.setComment("note"), 0);
    writeFile(dir() / "b.txt", "bumblebee");
    ASSERT_EQ(add({dir() / "b.txt"}), 0);
    EXPECT_EQ(readFile(archive).rfind(kept, 0), 0u);
    EXPECT_EQ(runCommand("unzip -tq '" + archive.string() + "'", &out), 0) << out;
    after = directory(archive);
    ASSERT_EQ(after.entries.size(), 2u);
    EXPECT_EQ(after.comment, "note");
    EXPECT_EQ(after.entries[0].crc, before.entries[0].crc);
}

// A replace or delete that cannot finish (the disk fills, the user stops it)
// leaves the archive as it was and no temporary file.
TEST_F(Rewrite, AChangeThatCannotFinishLeavesTheArchive) {
    SmallVolume volume(dir() / "vol", "256k");
    if (!volume.mounted()) GTEST_SKIP() << volume.problem();
    fs::path zip = volume.path() / "x.zip", small = dir() / "small.txt";
    auto noise = [](std::size_t n) {
        auto r = randomBytes(n, 4);
        return std::string(r.begin(), r.end());
    };
    ASSERT_TRUE(makeZip(zip, {{"noise.bin", noise(150000)}, {"small.txt", "old"}}));
    const std::string before = readFile(zip);
    engine.setArchiveName(zip.string());
    writeFile(small, "new");
    EXPECT_EQ(add({small}), kStatusDiskFull);
    engine.setNames("small.txt\r\n");
    EXPECT_EQ(engine.deleteEntries(), kStatusDiskFull);
    EXPECT_EQ(readFile(zip), before);
    engine.setEventHandler([&](int id, std::vector<DispatchValue>&) {
        if (id == int(EventId::Starting)) engine.setAbort(true);
    });
    fs::remove(volume.path() / "x.zip");
    ASSERT_TRUE(makeZip(zip, {{"noise.bin", noise(50000)}, {"small.txt", "old"}}));
    const std::string smaller = readFile(zip);
    EXPECT_EQ(add({small}), kStatusUserAborted);
    EXPECT_EQ(readFile(zip), smaller);
    std::size_t files = 0;
    for (auto& f : fs::directory_iterator(volume.path())) files += f.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
}
