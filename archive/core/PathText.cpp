#include "archive/core/PathText.h"

#include <algorithm>
#include <cctype>

namespace quarva::archive {

namespace {

std::size_t lastSeparator(std::string_view path) { return path.find_last_of("\\/"); }

}  // namespace

std::string toLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string fileNamePart(std::string_view path) {
    auto sep = lastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string folderPart(std::string_view path) {
    auto sep = lastSeparator(path);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep));
}

std::string extensionOf(std::string_view path) {
    std::string name = fileNamePart(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : toLower(std::string_view(name).substr(dot + 1));
}

std::string replaceExtension(std::string_view path, std::string_view extension) {
    auto sep = lastSeparator(path);
    auto dot = path.rfind('.');
    std::string out(path);
    if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) out += '.';
    else out.resize(dot + 1);
    out += extension;
    return out;
}

std::string trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

std::string withSlashes(std::string_view text) {
    std::string shown(text);
    for (char& c : shown)
        if (c == '\\') c = '/';
    return shown;
}

}  // namespace quarva::archive
