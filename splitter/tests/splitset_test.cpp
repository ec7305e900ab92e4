#include <gtest/gtest.h>

#include <cstring>

#include "splitter/SplitSet.h"

using namespace quarva::splitter;

namespace {

std::vector<std::uint8_t> record(std::uint32_t count, const std::string& name, std::uint32_t size) {
    auto bytes = encodeInfo({count, name, size});
    EXPECT_TRUE(bytes.has_value());
    return {bytes->begin(), bytes->end()};
}

}  // namespace

TEST(SplitSet, NamesFollowTheSourceName) {
    EXPECT_EQ(infoFileName("movie.avi"), "movie.avi.sio");
    EXPECT_EQ(chunkFileName("movie.avi", 0), "movie.avi.0.spl");
    EXPECT_EQ(chunkFileName("movie.avi", 12), "movie.avi.12.spl");
    EXPECT_EQ(infoFileName("a.b.c"), "a.b.c.sio");
    EXPECT_EQ(chunkFileName("a.b.c", 0), "a.b.c.0.spl");
    EXPECT_EQ(joinPath("/data", "x"), "/data/x");
    EXPECT_EQ(joinPath("/data/", "x"), "/data/x");
    EXPECT_EQ(joinPath("/", "x"), "/x");
}

TEST(SplitSet, InformationRecordLayout) {
    auto bytes = record(3, "movie.avi", 3000000);
    ASSERT_EQ(bytes.size(), 268u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 4, "movie.avi", 9), 0);
    for (std::size_t i = 4 + 9; i < 264; ++i) ASSERT_EQ(bytes[i], 0) << "name field not zero-filled at " << i;
    // 3,000,000 = 0x002DC6C0, little-endian.
    EXPECT_EQ(bytes[264], 0xC0);
    EXPECT_EQ(bytes[265], 0xC6);
    EXPECT_EQ(bytes[266], 0x2D);
    EXPECT_EQ(bytes[267], 0x00);

    auto decoded = decodeInfo(bytes);
    ASSERT_TRUE(decoded.info) << decoded.problem;
    EXPECT_EQ(decoded.info->count, 3u);
    EXPECT_EQ(decoded.info->name, "movie.avi");
    EXPECT_EQ(decoded.info->size, 3000000u);
}

TEST(SplitSet, ChunkCountRoundsUp) {
    EXPECT_EQ(chunkCountFor(3000000, kFloppyChunkSize), 3u);
    EXPECT_EQ(chunkCountFor(2 * kFloppyChunkSize, kFloppyChunkSize), 2u);
    EXPECT_EQ(chunkCountFor(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
    EXPECT_EQ(chunkCountFor(0xFFFFFFFFu, 0xFFFFFFFFu), 1u);
}

TEST(SplitSet, NamesOf260CharactersDoNotFit) {
    EXPECT_TRUE(nameFitsInfo(std::string(259, 'a')));
    EXPECT_FALSE(nameFitsInfo(std::string(260, 'a')));
    EXPECT_FALSE(encodeInfo({1, std::string(260, 'a'), 1}).has_value());
    EXPECT_TRUE(encodeInfo({1, std::string(259, 'a'), 1}).has_value());
}

TEST(SplitSet, MalformedRecordsAreRefused) {
    auto good = record(3, "movie.avi", 3000000);

    auto shortRecord = good;
    shortRecord.pop_back();
    EXPECT_FALSE(decodeInfo(shortRecord).info);
    EXPECT_NE(decodeInfo(shortRecord).problem.find("267 bytes"), std::string::npos);

    auto longRecord = good;
    longRecord.push_back(0);
    EXPECT_FALSE(decodeInfo(longRecord).info);
    EXPECT_FALSE(decodeInfo({}).info);

    auto unterminated = good;
    std::memset(unterminated.data() + 4, 'x', 260);
    EXPECT_FALSE(decodeInfo(unterminated).info);
    EXPECT_NE(decodeInfo(unterminated).problem.find("not terminated"), std::string::npos);

    for (const char* bad : {"../escape", "..", ".", "", "sub/file", "sub\\file", "C:evil", "/etc/passwd", "a\nb"}) {
        auto rec = good;
        std::memset(rec.data() + 4, 0, 260);
        std::memcpy(rec.data() + 4, bad, std::strlen(bad));
        EXPECT_FALSE(decodeInfo(rec).info) << "accepted name \"" << bad << "\"";
    }

    // Counts that no chunk size can give for the stored size.
    EXPECT_FALSE(decodeInfo(record(0, "x", 5)).info);
    EXPECT_FALSE(decodeInfo(record(1, "x", 0)).info);
    EXPECT_FALSE(decodeInfo(record(6, "x", 10)).info);
    EXPECT_FALSE(decodeInfo(record(11, "x", 10)).info);
    EXPECT_TRUE(decodeInfo(record(0, "x", 0)).info);
    EXPECT_TRUE(decodeInfo(record(3, "x", 10)).info);
    EXPECT_TRUE(decodeInfo(record(5, "x", 10)).info);
    EXPECT_TRUE(decodeInfo(record(10, "x", 10)).info);
}

TEST(SplitSet, CountFitsSizeAgreesWithEveryChunkSize) {
    // Brute force over small sizes: a count is consistent exactly when some chunk size gives it.
    for (std::uint32_t size = 0; size <= 60; ++size) {
        std::vector<bool> reachable(size + 2, false);
        if (size == 0) reachable[0] = true;
        for (std::uint32_t chunk = 1; chunk <= size; ++chunk) reachable[chunkCountFor(size, chunk)] = true;
        for (std::uint32_t count = 0; count <= size + 1; ++count)
            EXPECT_EQ(countFitsSize(count, size), static_cast<bool>(reachable[count]))
                << count << " chunks for " << size;
    }
}

TEST(SplitSet, InformationPathFromChunkPath) {
    EXPECT_EQ(infoPathFromChunkPath("/data/movie.avi.3.spl"), "/data/movie.avi.sio");
    EXPECT_EQ(infoPathFromChunkPath("/DATA/MOVIE.AVI.3.SPL"), "/DATA/MOVIE.AVI.SIO");
    EXPECT_EQ(infoPathFromChunkPath("/data/A.B.C.0.SPL"), "/data/A.B.C.SIO");
    EXPECT_EQ(infoPathFromChunkPath("a.b.c.0.spl"), "a.b.c.sio");
    // Fewer than two dots in the file name: no derivation, not even into a dotted folder.
    EXPECT_FALSE(infoPathFromChunkPath("/data/x.spl"));
    EXPECT_FALSE(infoPathFromChunkPath("/da.ta/x.spl"));
    EXPECT_FALSE(infoPathFromChunkPath("/data/spl"));
}

TEST(SplitSet, DeletionPathsComeFromTheInformationFilesOwnName) {
    EXPECT_EQ(chunkPathsFromInfoPath("/d/movie.avi.sio", 2),
              (std::vector<std::string>{"/d/movie.avi.0.spl", "/d/movie.avi.1.spl"}));
    // A renamed information file changes which chunks the deletion looks for.
    EXPECT_EQ(chunkPathsFromInfoPath("/d/x.sio", 2), (std::vector<std::string>{"/d/x.0.spl", "/d/x.1.spl"}));
    EXPECT_TRUE(chunkPathsFromInfoPath("/d/x.sio", 0).empty());
}

TEST(SplitSet, PlainFileNames) {
    EXPECT_TRUE(isPlainFileName("movie.avi"));
    EXPECT_TRUE(isPlainFileName(".hidden"));
    EXPECT_FALSE(isPlainFileName("a/b"));
    EXPECT_FALSE(isPlainFileName("..\\b"));
    EXPECT_FALSE(isPlainFileName("D:x"));
}
