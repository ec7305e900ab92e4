// Formats read through an outside program when one is installed: ace, arc, arj,
// zoo, ha, pak, enc (unar/lsar from The Unarchiver package, or arj). Counting
// uses the program's list; reading unpacks the archive into a private folder in
// the suite's temporary folder, bounded in bytes, and serves it from there.
// Without a tool every call gets a clear error.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/External.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/OutsideProgram.h"
#include "platform/FileSystem.h"

namespace quarva::formatlib {
namespace {
namespace fs = std::filesystem;

struct Listing {
    bool ok = false;
    int files = 0;
    std::uint64_t bytes = 0;
    bool encrypted = false;  // an entry or the archive is encrypted (lsar's list only)
};

// Reads the digits at `p` (skipping blanks first); false when there are none.
bool number(const std::string& text, std::size_t& p, std::uint64_t& value) {
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    const std::size_t start = p;
    value = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9' && p - start < 19)
        value = value * 10 + (text[p++] - '0');
    return p > start;
}

// The summary line of "arj l": "     3 files  100000008       1531 0.000".
Listing parseArjList(const std::string& text) {
    Listing l;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        std::size_t p = 0;
        std::uint64_t files = 0, bytes = 0;
        if (number(line, p, files) && line.compare(p, 5, " file") == 0) {
            p = line.find(' ', p + 5);
            if (p != std::string::npos && number(line, p, bytes)) {
                l.ok = true;
                l.files = static_cast<int>(std::min<std::uint64_t>(files, 1u << 30));
                l.bytes = bytes;
            }
        }
        start = end + 1;
    }
    return l;
}

// "lsar -j": one object per entry with "XADFileName", "XADFileSize" and, for
// folders, "XADIsDirectory".
Listing parseLsarJson(const std::string& text) {
    Listing l;
    if (text.find("\"lsarContents\"") == std::string::npos) return l;
    l.ok = true;
    // How many times `key` is set to true (or 1).
    auto countTrue = [&text](const char* key) {
        int n = 0;
        for (std::size_t p = 0; (p = text.find(key, p)) != std::string::npos;) {
            p = text.find(':', p);
            if (p == std::string::npos) break;
            ++p;
            while (p < text.size() && text[p] == ' ') ++p;
            if (text.compare(p, 4, "true") == 0 || text.compare(p, 1, "1") == 0) ++n;
        }
        return n;
    };
    int names = 0;
    for (std::size_t p = 0; (p = text.find("\"XADFileName\"", p)) != std::string::npos; ++p) ++names;
    const int folders = countTrue("\"XADIsDirectory\"");
    l.encrypted = countTrue("\"XADIsEncrypted\"") > 0;
    for (std::size_t p = 0; (p = text.find("\"XADFileSize\"", p)) != std::string::npos;) {
        p = text.find(':', p);
        if (p == std::string::npos) break;
        ++p;
        std::uint64_t v = 0;
        if (number(text, p, v)) l.bytes += v;
    }
    l.files = std::max(0, names - folders);
    return l;
}

// "7z l -slt": after the line of dashes, one block of "Key = value" lines per entry.
Listing parseSevenZipList(const std::string& text, bool* encrypted) {
    Listing l;
    const std::size_t body = text.find("\n----------\n");
    if (body == std::string::npos) return l;
    l.ok = true;
    bool inEntry = false, folder = false;
    auto close = [&] {
        if (inEntry && !folder) ++l.files;
        inEntry = folder = false;
    };
    std::size_t start = body + 12;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, 7, "Path = ") == 0) {
            close();
            inEntry = true;
        } else if (line.compare(0, 7, "Size = ") == 0) {
            std::size_t p = 7;
            std::uint64_t v = 0;
            if (number(line, p, v)) l.bytes += v;
        } else if (line == "Folder = +" ||
                   (line.compare(0, 13, "Attributes = ") == 0 && line.size() > 13 && line[13] == 'D')) {
            folder = true;
        } else if (line == "Encrypted = +" && encrypted) {
            *encrypted = true;
        }
    }
    close();
    return l;
}

std::vector<std::string> sevenZipArgs(const std::string& program, const char* command, const std::string& password) {
    // The password goes to its standard input; without one, -p with nothing: never
    // ask. -bd: no progress; -sccUTF-8: names in UTF-8.
    std::vector<std::string> args{program, command, "-bd", "-sccUTF-8", "-y"};
    if (password.empty()) args.push_back("-p");
    return args;
}

std::string tooBigText(std::uint64_t bytes, std::uint64_t ceiling) {
    return "the archive unpacks to " + std::to_string(bytes >> 20) + " MiB or more, beyond the " +
           std::to_string(ceiling >> 20) + " MiB allowed for an archive of its size (compression bomb?)";
}

// Serves the files below a folder (removed afterwards) as archive entries.
class UnpackedReader : public ArchiveReader {
public:
    UnpackedReader(std::filesystem::path folder, std::string format)
        : folder_(std::move(folder)), format_(std::move(format)) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(folder_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_symlink(ec) || (!it->is_regular_file(ec) && !it->is_directory(ec))) continue;
            files_.push_back(it->path());
        }
        std::sort(files_.begin(), files_.end());
    }
    ~UnpackedReader() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    int next(EntryInfo& entry) override {
        in_.close();
        if (index_ >= files_.size()) return 0;
        const auto& p = files_[index_++];
        std::error_code ec;
        entry = EntryInfo{};
        entry.name = std::filesystem::relative(p, folder_, ec).generic_string();
        if (std::filesystem::is_directory(p, ec)) entry.kind = EntryKind::Folder;
        entry.size = entry.isDir() ? 0 : std::filesystem::file_size(p, ec);
        entry.packedSize = entry.size;
        auto ft = std::filesystem::last_write_time(p, ec);
        entry.mtime = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(ft));
        entry.method = format_;
        if (!entry.isDir()) in_.open(p, std::ios::binary);
        return 1;
    }
    long read(void* buffer, std::size_t size) override {
        if (!in_.is_open()) return 0;
        in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        if (in_.bad()) return -1;
        return static_cast<long>(in_.gcount());
    }
    unsigned kind() const override { return kKindOther; }
    std::string formatName() const override { return format_; }

private:
    std::filesystem::path folder_;
    std::string format_;
    std::vector<std::filesystem::path> files_;
    std::size_t index_ = 0;
    std::ifstream in_;
};

class ExternalHandler : public HandlerBase {
public:
    using Bid = int (*)(const std::uint8_t*, std::size_t);
    ExternalHandler(const char* name, std::vector<std::string> ext, Bid bid, bool arjToo)
        : HandlerBase(name, std::move(ext), kCanRead), bid_(bid), arjToo_(arjToo) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        return bid_ ? bid_(head, size) : 0;
    }
    std::string unsupportedReason() const override {
        return std::string("format not supported on this system: install unar (the Debian package unar)") +
               (arjToo_ ? " or arj" : "");
    }
    std::optional<int> quickCount(const std::filesystem::path& path) const override {
        const Listing l = list(path);
        return l.ok ? l.files : -1;
    }

    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                              std::string* error) const override {
        const std::string unar = findTool("unar");
        const std::string arj = arjToo_ ? findTool("arj") : std::string();
        if (unar.empty() && arj.empty()) {
            *error = unsupportedReason();
            return nullptr;
        }
        // A password reaches unar only at its prompt; arj would take it on its command line.
        if (!password.empty() && unar.empty()) {
            *error =
                "a password cannot be given to arj without showing it to every user of this computer: "
                "install unar (the Debian package unar)";
            return nullptr;
        }
        if (std::any_of(password.begin(), password.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; })) {
            *error = "the password holds control characters, which cannot be typed at unar's prompt";
            return nullptr;
        }
        const bool useArj = !arj.empty() && password.empty();
        // What the archive says it holds is checked before anything is unpacked;
        // the program is stopped if it writes more all the same.
        struct stat st {};
        const std::uint64_t ceiling =
            undeclaredDataCeiling(stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0);
        const Listing l = list(path, password);
        if (!l.ok) {
            *error = "the outside program could not read this archive";
            return nullptr;
        }
        if (l.bytes > ceiling) {
            *error = tooBigText(l.bytes, ceiling);
            return nullptr;
        }
        const fs::path temp = platform::tempFolder();
        if (temp.empty()) {
            *error = "no private temporary folder: " + platform::tempFolderProblem();
            return nullptr;
        }
        std::string tmpl = (temp / "qzunpack-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            *error = "cannot create a work folder";
            return nullptr;
        }
        bool overflow = false, aborted = false, refused = false;
        int rc = -1;
        std::string said;
        // arc's own program where it is installed: unar does not unsqueeze.
        const std::string arc = std::string(name()) == "arc" && password.empty() ? findTool("arc") : std::string();
        // arj's own program where it is installed: it keeps the folders of names made on Unix.
        if (!arc.empty())
            rc = runUnpack({arc, "x", fs::absolute(path).string()}, tmpl, ceiling, l.bytes, &overflow, &aborted);
        else if (useArj)
            rc = runUnpack({arj, "x", "-y", fs::absolute(path).string(), tmpl + "/"}, tmpl, ceiling, l.bytes, &overflow,
                           &aborted);
        else if (password.empty())
            rc = runUnpack({unar, "-q", "-f", "-D", "-o", tmpl, "--", fs::absolute(path).string()}, tmpl, ceiling,
                           l.bytes, &overflow, &aborted);
        else
            rc = runAnswering({unar, "-f", "-D", "-o", tmpl, "--", fs::absolute(path).string()}, tmpl, password, &said,
                              ceiling, l.bytes, &overflow, &aborted, &refused);
        if (rc != 0) {
            std::error_code ec;
            std::filesystem::remove_all(tmpl, ec);
            // unar names a wrong password for some formats only; for the others, a
            // failure after the password was typed is most likely the password.
            const bool wrong = refused || said.find("wrong password") != std::string::npos;
            const bool asked = said.find("Password (will not be shown):") != std::string::npos;
            *error = overflow                          ? tooBigText(ceiling + 1, ceiling)
                     : aborted                         ? std::string("Operation aborted")
                     : wrong                           ? std::string("the password is wrong")
                     : asked                           ? std::string("the password is wrong, or the archive is damaged")
                     : password.empty() && l.encrypted ? std::string("the entries are encrypted: a password is needed")
                                                       : std::string("the outside program could not read this archive");
            return nullptr;
        }
        return std::make_unique<UnpackedReader>(tmpl, name());
    }

private:
    // The outside program's list of the archive: entries and their total size.
    Listing list(const std::filesystem::path& path, const std::string& password = {}) const {
        const fs::path temp = platform::tempFolder();
        const std::string folder = temp.empty() ? std::string("/") : temp.string();
        const std::string archive = fs::absolute(path).string();
        std::string out;
        if (arjToo_) {
            const std::string arj = findTool("arj");
            if (!arj.empty() && runListing({arj, "l", archive}, folder, out) == 0) {
                const Listing l = parseArjList(out);
                if (l.ok) return l;
            }
            out.clear();
        }
        const std::string lsar = findTool("lsar");
        if (lsar.empty()) return {};
        const std::vector<std::string> args{lsar, "-j", "--", archive};
        bool unused = false;
        const int rc = password.empty() ? runListing(args, folder, out)
                                        : runAnswering(args, folder, password, &out, 0, 0, &unused, &unused, &unused);
        return rc == 0 ? parseLsarJson(out) : Listing{};
    }

    Bid bid_;
    bool arjToo_;
};

// The bids below need the mark and a plausible header after it (see marks:: in
// Format.h); ha and arc, whose marks are short, bid only kWeakMark.
int bidAce(const std::uint8_t* h, std::size_t n) {
    using namespace marks::ace;
    return n > kMark + kMarkSize && std::memcmp(h + kMark, "**ACE**", kMarkSize) == 0 ? bids::kSignature : bids::kNone;
}
int bidArj(const std::uint8_t* h, std::size_t n) {
    const unsigned header = n > 10 ? h[marks::arj::kHeaderSize] | (h[marks::arj::kHeaderSize + 1] << 8) : 0;
    return n > 10 && h[0] == 0x60 && h[1] == 0xEA && header > 0 && header <= marks::arj::kMaxHeader ? bids::kSignature
                                                                                                    : bids::kNone;
}
int bidZoo(const std::uint8_t* h, std::size_t n) {
    using marks::zoo::kTag;
    return n > kTag + 4 && std::memcmp(h, "ZOO ", 4) == 0 && std::memcmp(h + kTag, "\xDC\xA7\xC4\xFD", 4) == 0
               ? bids::kSignature
               : bids::kNone;
}
// "HA", a file count that is not zero, then the first header: a method of 0-2, 14
// or 15 with version 2, and a path and a name of printable bytes, each ended by a zero.
int bidHa(const std::uint8_t* h, std::size_t n) {
    using namespace marks::ha;
    if (n < kMinHead || h[0] != 'H' || h[1] != 'A' || (h[kCount] | (h[kCount + 1] << 8)) == 0) return bids::kNone;
    const unsigned method = h[kType] & 0x0f;
    if ((h[kType] >> 4) != 2 || (method > 2 && method < 14)) return bids::kNone;
    std::size_t p = kNames;
    for (int field = 0; field < 2; ++field) {
        while (p < n && h[p] != 0) {
            if (h[p] < 0x20 && h[p] != 0xff) return bids::kNone;
            ++p;
        }
        if (p++ >= n) return bids::kNone;
    }
    return bids::kWeakMark;
}
// 0x1A, a method of 1 to 11, a name of 1 to 12 printable bytes ended by a zero.
int bidArc(const std::uint8_t* h, std::size_t n) {
    using namespace marks::arc;
    if (n < kMinHead || h[0] != 0x1A || h[kMethod] < 1 || h[kMethod] > 11) return bids::kNone;
    std::size_t i = kName;
    while (i < kNameEnd && h[i] != 0) {
        if (h[i] <= 0x20 || h[i] >= 0x7f) return bids::kNone;
        ++i;
    }
    return i > kName && i < kNameEnd ? bids::kWeakMark : bids::kNone;
}

}  // namespace

std::string sevenZipProgram() { return findTool("7z"); }

std::string sevenZipHint() { return "this archive can be read through 7z: install the package p7zip-full"; }

std::string sevenZipMissing(const std::string& why) { return why + "; " + sevenZipHint(); }

std::unique_ptr<ArchiveReader> readThroughLibarchive(const std::filesystem::path& path,
                                                     const LibarchiveReader::Setup& setup, const std::string& password,
                                                     unsigned kind, const std::string& formatName, bool needsSevenZip,
                                                     std::string* error) {
    const bool missing = needsSevenZip && sevenZipProgram().empty();
    auto r = std::make_unique<LibarchiveReader>(path, setup, password, kind, formatName);
    if (!r->opened()) {
        *error = missing ? sevenZipMissing(r->error()) : r->error();
        return nullptr;
    }
    if (missing) r->setHint(sevenZipHint());
    return r;
}

int countThroughSevenZip(const std::filesystem::path& path, const std::string& password) {
    const std::string program = sevenZipProgram();
    if (program.empty()) return -1;
    const fs::path temp = platform::tempFolder();
    std::string out;
    auto args = sevenZipArgs(program, "l", password);
    args.insert(args.end(), {"-slt", "--", fs::absolute(path).string()});
    if (runListing(args, temp.empty() ? std::string("/") : temp.string(), out, 16u << 20, false, password) != 0)
        return -1;
    const Listing l = parseSevenZipList(out, nullptr);
    return l.ok ? l.files : -1;
}

std::unique_ptr<ArchiveReader> openThroughSevenZip(const std::filesystem::path& path, const std::string& password,
                                                   const std::string& formatName, std::string* error) {
    const std::string program = sevenZipProgram();
    if (program.empty()) {
        *error = sevenZipMissing("libarchive cannot read this archive");
        return nullptr;
    }
    const fs::path temp = platform::tempFolder();
    if (temp.empty()) {
        *error = "no private temporary folder: " + platform::tempFolderProblem();
        return nullptr;
    }
    const std::string archive = fs::absolute(path).string();
    struct stat st {};
    const std::uint64_t ceiling =
        undeclaredDataCeiling(stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0);
    std::string out;
    auto listArgs = sevenZipArgs(program, "l", password);
    listArgs.insert(listArgs.end(), {"-slt", "--", archive});
    const int listed = runListing(listArgs, temp.string(), out, 16u << 20, true, password);
    bool encrypted = false;
    const Listing l = parseSevenZipList(out, &encrypted);
    if (listed != 0 || !l.ok) {
        const bool wrongPassword = out.find("Wrong password") != std::string::npos;
        *error = wrongPassword
                     ? (password.empty() ? std::string("the archive's names are encrypted: a password is needed")
                                         : std::string("the password is wrong"))
                     : std::string("7z could not read this archive either");
        return nullptr;
    }
    if (l.bytes > ceiling) {
        *error = tooBigText(l.bytes, ceiling);
        return nullptr;
    }
    std::string tmpl = (temp / "qzunpack-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        *error = "cannot create a work folder";
        return nullptr;
    }
    bool overflow = false, aborted = false;
    auto args = sevenZipArgs(program, "x", password);
    args.insert(args.end(), {"-o" + tmpl, "--", archive});
    const int rc = runUnpack(args, tmpl, ceiling, l.bytes, &overflow, &aborted, password);
    if (rc != 0) {
        std::error_code ec;
        std::filesystem::remove_all(tmpl, ec);
        *error = overflow    ? tooBigText(ceiling + 1, ceiling)
                 : aborted   ? std::string("Operation aborted")
                 : encrypted ? (password.empty() ? std::string("the entries are encrypted: a password is needed")
                                                 : std::string("the password is wrong"))
                             : std::string("7z could not unpack this archive (unsupported method or damaged data)");
        return nullptr;
    }
    return std::make_unique<UnpackedReader>(tmpl, formatName);
}

std::vector<const FormatHandler*> externalHandlers() {
    static ExternalHandler ace("ace", {"ace"}, bidAce, false);
    static ExternalHandler arc("arc", {"arc"}, bidArc, false);
    static ExternalHandler arj("arj", {"arj"}, bidArj, true);
    static ExternalHandler zoo("zoo", {"zoo"}, bidZoo, false);
    static ExternalHandler ha("ha", {"ha"}, bidHa, false);
    static ExternalHandler pak("pak", {"pak"}, nullptr, false);
    static ExternalHandler enc("enc", {"enc"}, nullptr, false);
    return {&ace, &arc, &arj, &zoo, &ha, &pak, &enc};
}

}  // namespace quarva::formatlib
