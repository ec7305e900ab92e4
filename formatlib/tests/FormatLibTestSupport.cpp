#include "FormatLibTestSupport.h"

#include <algorithm>
#include <fstream>

namespace quarva::formatlib::testing {

HostWindow::HostWindow() {
    handler = [this](const Message& m) -> std::intptr_t {
        switch (m.message) {
        case kMsgListed:
        case kMsgProcessed: {
            const auto* r = reinterpret_cast<const ListingRecord*>(m.wParam);
            auto text = [](const char* s) { return std::string(s ? s : "<null>"); };
            const CopiedEntry e{m.message,     text(r->name), text(r->modified), text(r->methodName), r->crc,
                                r->packedSize, r->size,       r->ratio,          r->attributes,       r->method};
            (m.message == kMsgListed ? listed : processed).push_back(e);
            break;
        }
        case kMsgDeleted: deleted.push_back(reinterpret_cast<const char*>(m.wParam)); break;
        case kMsgTested: tested.push_back({reinterpret_cast<const char*>(m.wParam), m.lParam != 0}); break;
        case kMsgArchiveKind: kinds.push_back(static_cast<unsigned>(m.wParam)); break;
        case kMsgError: {
            const auto* r = reinterpret_cast<const ErrorRecord*>(m.wParam);
            errors.push_back({r->entryName ? r->entryName : "<null>", r->fileName ? r->fileName : "<null>",
                              r->cause ? r->cause : "<null>", r->details ? r->details : "<null>",
                              r->reserved == nullptr});
            break;
        }
        case kMsgSearchMatch: {
            const auto* s = reinterpret_cast<const SearchMatch*>(m.wParam);
            matches.push_back({s->entryName, s->lineNumber, s->lineText});
            break;
        }
        case kMsgProgress: progress.push_back(*reinterpret_cast<const ProgressRecord*>(m.wParam)); break;
        default: break;
        }
        return 0;
    };
}

void HostWindow::clear() {
    messages.clear();
    listed.clear();
    processed.clear();
    deleted.clear();
    tested.clear();
    kinds.clear();
    errors.clear();
    progress.clear();
    matches.clear();
}

std::vector<std::string> HostWindow::listedNames() const {
    std::vector<std::string> names;
    for (const auto& e : listed)
        if (e.name.empty() || e.name.back() != '\\') names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string HostWindow::errorText() const {
    std::string s;
    for (const auto& e : errors) s += "[" + e.fileName + ": " + e.cause + " / " + e.details + "] ";
    return s;
}

int HostWindow::outcome() const {
    int last = -1;
    for (const auto& m : messages)
        if (m.message == kMsgFinished) last = static_cast<int>(m.wParam);
    return last;
}

std::string quoteList(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "\"" : "|\"") + n + "\"";
    return s;
}

fs::path libraryFile() { return QZ_LIBRARY_PATH; }
fs::path stubFolder() { return QZ_STUB_FOLDER; }

void FormatLibTest::SetUp() {
    FolderTest::SetUp();
    lib_ = std::make_unique<LoadedLibrary>(libraryFile());
    ASSERT_TRUE(lib_->loaded()) << lib_->loadError();
}

void FormatLibTest::TearDown() {
    lib_.reset();
    FolderTest::TearDown();
}

void FormatLibTest::list(const fs::path& archive, const std::string& filters) {
    lib_->entry<QzListArchiveFn>("ListArchive")(archive.c_str(), filters.c_str(), &host_);
}
void FormatLibTest::extract(const fs::path& archive, const fs::path& dest, const std::string& files, bool overwrite,
                            bool paths) {
    lib_->entry<QzExtractFileFn>("ExtractFile")(archive.c_str(), files.c_str(), dest.c_str(), overwrite, paths, &host_);
}
void FormatLibTest::compress(const fs::path& archive, const std::vector<std::string>& files, bool subfolders,
                             bool savePaths, const std::string& password, bool hidden, bool deleteAfter) {
    const std::string list = quoteList(files);
    lib_->entry<QzCompressFileFn>("CompressFile")(archive.c_str(), list.c_str(), password.c_str(), hidden, deleteAfter,
                                                  savePaths, subfolders, &host_);
}
void FormatLibTest::remove(const fs::path& archive, const std::vector<std::string>& names) {
    const std::string list = quoteList(names);
    lib_->entry<QzDeleteFileFn>("DeleteFile")(archive.c_str(), list.c_str(), &host_);
}
void FormatLibTest::test(const fs::path& archive, const std::string& files) {
    lib_->entry<QzTestArchiveFn>("TestArchive")(archive.c_str(), files.c_str(), &host_);
}
void FormatLibTest::convert(const fs::path& source, const fs::path& target, int code) {
    lib_->entry<QzArcToArcFn>("ArcToArc")(source.c_str(), target.c_str(), code, 0, &host_);
}
void FormatLibTest::sfx(const fs::path& source, const fs::path& target, const fs::path& stubs) {
    lib_->entry<QzArcToSFXFn>("ArcToSFX")(source.c_str(), target.c_str(), stubs.c_str(), &host_);
}
void FormatLibTest::encode(const fs::path& source, const fs::path& target, int method, bool table) {
    lib_->entry<QzEncodeFn>("Encode")(source.c_str(), target.c_str(), method, table, &host_);
}
int FormatLibTest::count(const fs::path& archive) { return lib_->entry<QzFileCountFn>("FileCount")(archive.c_str()); }

fs::path FormatLibTest::makeTree(const std::string& name) {
    const fs::path root = dir() / name;
    fs::create_directories(root / "docs" / "deep");
    writeFile(root / "a.txt", std::string("alpha\nsecond line with needle\n"));
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "docs line " + std::to_string(i) + " repeated text repeated text\n";
    writeFile(root / "docs" / "b.txt", text);
    writeFile(root / "docs" / "deep" / "c.bin", randomBytes(70000, 7));
    writeFile(root / "empty.txt", std::string());
    return root;
}

std::vector<std::pair<std::string, std::string>> FormatLibTest::tree(const fs::path& root) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!fs::exists(root)) return out;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        out.push_back({fs::relative(e.path(), root).generic_string(), readFile(e.path())});
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace quarva::formatlib::testing
