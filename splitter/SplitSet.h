#pragma once
// The split set: numbered chunk files ("<name>.<i>.spl") and one 268-byte information
// file ("<name>.sio") beside them that tells how to put the chunks together again.
//
// Information file, integers unsigned 32-bit little-endian:
//   offset 0   chunk count
//   offset 4   the source's file name, NUL-terminated, zero-filled to 260 bytes
//   offset 264 the source's size in bytes
// Nothing else: the chunk size is not stored, each chunk is as long as its file.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarva::splitter {

inline constexpr std::uint32_t kInfoFileSize = 268;
inline constexpr std::uint32_t kNameFieldSize = 260;
inline constexpr std::uint32_t kFloppyChunkSize = 1457664;
inline constexpr std::uint32_t kTenMbChunkSize = 10000000;
inline constexpr std::uint32_t kHundredMbChunkSize = 100000000;
// Data moves in passes of at most this many bytes.
inline constexpr std::uint32_t kPassSize = 3000000;

struct SplitInfo {
    std::uint32_t count = 0;
    std::string name;
    std::uint32_t size = 0;
};

// `folder` + "/" + `name`, without doubling a separator the folder already ends in.
std::string joinPath(const std::string& folder, const std::string& name);
// The part after the last separator; the folder part before it.
std::string fileNamePart(const std::string& path);
std::string folderPart(const std::string& path);

std::string infoFileName(const std::string& name);                        // name + ".sio"
std::string chunkFileName(const std::string& name, std::uint32_t index);  // name + ".i.spl"

// Number of chunks of `chunkSize` that hold `size` bytes (rounded up). chunkSize > 0.
std::uint32_t chunkCountFor(std::uint32_t size, std::uint32_t chunkSize);

// Whether `name` fits the name field with its terminator.
bool nameFitsInfo(std::string_view name);
// A bare file name: not empty, no separators, no "." or "..", no drive letter, no control bytes.
bool isPlainFileName(std::string_view name);
// Whether some chunk size splits `size` bytes into exactly `count` chunks.
bool countFitsSize(std::uint32_t count, std::uint32_t size);

// The 268 bytes of the information file; nullopt when the name does not fit.
std::optional<std::array<std::uint8_t, kInfoFileSize>> encodeInfo(const SplitInfo& info);

// Reads and checks an information file's bytes: exactly 268 bytes, a terminated plain
// file name, a count consistent with the size. On failure `problem` says what is wrong.
struct InfoDecode {
    std::optional<SplitInfo> info;
    std::string problem;
};
InfoDecode decodeInfo(const std::vector<std::uint8_t>& bytes);

// Upper-case comparison of a path's ending, as the window compares ".SIO" and ".SPL".
bool endsWithNoCase(std::string_view text, std::string_view suffix);
std::string upperCase(std::string text);

// The information file of the set a chunk belongs to: the chunk's file name up to the
// second "." from its end, followed by ".sio" (".SIO" when the chunk's own extension is
// upper case). nullopt when the file name holds fewer than two dots.
std::optional<std::string> infoPathFromChunkPath(const std::string& chunkPath);

// The chunk paths that the after-rejoin deletion removes: built from the information
// file's own path (up to and including its last ".") + i + ".spl", for i < count.
std::vector<std::string> chunkPathsFromInfoPath(const std::string& infoPath, std::uint32_t count);

}  // namespace quarva::splitter
