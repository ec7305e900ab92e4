// The self-extractor stub: a small program with a zip payload appended to it.
// Run it to unpack the payload into a folder the user chooses:
//   <program>            asks for the folder (the current folder when the answer is empty)
//   <program> -c         current folder, no question
//   <program> -d FOLDER  that folder, no question
//   <program> -o         overwrite existing files (otherwise they are kept)
//   <program> -l         list the payload
// Names that would land outside the folder are refused, and so are links that point outside it.

#include <archive.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

#include "formatlib/core/Names.h"
#include "formatlib/core/SafeExtract.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace qf = quarva::formatlib;

namespace {

std::string selfPath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

int usage() {
    std::cerr << "usage: [-c | -d FOLDER] [-o] [-l]\n"
                 "  -c         extract into the current folder\n"
                 "  -d FOLDER  extract into FOLDER\n"
                 "  -o         overwrite existing files\n"
                 "  -l         list the contents\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    bool here = false, overwrite = false, list = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-c") here = true;
        else if (a == "-o") overwrite = true;
        else if (a == "-l") list = true;
        else if (a == "-d" && i + 1 < argc) folder = argv[++i];
        else return usage();
    }
    const std::string self = selfPath();
    qf::LibarchiveReader reader(
        self, [](struct archive* a) { archive_read_support_format_zip_seekable(a); }, std::string(), 0, "zip");
    if (!reader.opened()) {
        std::cerr << "This program holds no readable archive: " << reader.error() << "\n";
        return 1;
    }
    if (!list && folder.empty()) {
        if (here) {
            folder = ".";
        } else {
            std::cout << "Extract to folder [current folder]: " << std::flush;
            std::string answer;
            if (!std::getline(std::cin, answer)) {
                std::cerr << "No folder chosen: use -c for the current folder or -d FOLDER\n";
                return 2;
            }
            folder = answer.empty() ? "." : answer;
        }
    }
    std::error_code ec;
    std::filesystem::path dest;
    if (!list) {
        std::filesystem::create_directories(folder, ec);
        dest = std::filesystem::canonical(folder, ec);
        if (ec) {
            std::cerr << "Cannot use the folder " << folder << ": " << ec.message() << "\n";
            return 1;
        }
    }
    qf::SafeExtractor out(dest, overwrite, 1ull << 40);
    qf::EntryInfo e;
    int failures = 0, written = 0;
    for (;;) {
        const int n = reader.next(e);
        if (n == 0) break;
        if (n < 0) {
            std::cerr << "Damaged archive: " << reader.error() << "\n";
            return 1;
        }
        if (list) {
            std::cout << e.size << "\t" << e.name << "\n";
            continue;
        }
        std::string why;
        const auto safe = qf::safeRelativePath(e.name, &why);
        if (!safe) {
            std::cerr << "Refused " << e.name << ": " << why << "\n";
            ++failures;
            continue;
        }
        switch (out.extract(e, *safe, &reader)) {
        case qf::SafeExtractor::Result::Written:
            if (!e.isDir()) {
                std::cout << "Extracted " << *safe << "\n";
                ++written;
            }
            break;
        case qf::SafeExtractor::Result::Skipped: std::cout << "Kept existing " << *safe << "\n"; break;
        case qf::SafeExtractor::Result::Failed:
        case qf::SafeExtractor::Result::Aborted:
            std::cerr << "Cannot extract " << *safe << ": " << out.cause() << "\n";
            ++failures;
            break;
        }
    }
    if (!list) std::cout << written << " file(s) extracted into " << dest.string() << "\n";
    return failures ? 1 : 0;
}
