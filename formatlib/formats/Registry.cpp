// The table of formats, and choosing a handler by content or by name.

#include <fstream>

#include "formatlib/core/Names.h"
#include "formatlib/formats/HandlerBase.h"

namespace quarva::formatlib {

std::unique_ptr<ArchiveWriter> FormatHandler::openWriter(const std::filesystem::path&, const WriteOptions&,
                                                         std::string* error) const
{
    const std::string why = unsupportedReason();
    *error = why.empty() ? std::string("cannot create ") + name() + " archives" : why;
    return nullptr;
}

std::string stripLastExtension(const std::filesystem::path& path)
{
    std::string f = path.filename().string();
    const auto dot = f.rfind('.');
    if (dot != std::string::npos && dot > 0) f = f.substr(0, dot);
    return f;
}

const std::vector<const FormatHandler*>& allHandlers()
{
    static const std::vector<const FormatHandler*> table = [] {
        std::vector<const FormatHandler*> t = {
            &zipHandler(), &jarHandler(),    &sfxHandler(),  &tarHandler(), &tarGzHandler(),
            &gzHandler(),  &tarBz2Handler(), &tarXzHandler(), &cabHandler(), &lhaHandler(),
            &rarHandler(), &sevenZipHandler(), &uuHandler(), &xxHandler(),  &blakHoleHandler(),
        };
        for (auto* h : externalHandlers()) t.push_back(h);
        return t;
    }();
    return table;
}

std::vector<std::uint8_t> readHead(const std::filesystem::path& path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> head(limit);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(limit));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

namespace {

// Length of the longest extension of `h` that ends the file name (0 when none).
std::size_t extensionMatch(const FormatHandler* h, const std::string& lowerName)
{
    std::size_t best = 0;
    for (const auto& e : h->extensions()) {
        const std::string suffix = "." + e;
        if (lowerName.size() > suffix.size() &&
            lowerName.compare(lowerName.size() - suffix.size(), suffix.size(), suffix) == 0)
            best = std::max(best, suffix.size());
    }
    return best;
}

}  // namespace

const FormatHandler* handlerForName(const std::filesystem::path& path)
{
    const std::string name = toLower(path.filename().string());
    const FormatHandler* best = nullptr;
    std::size_t bestLen = 0;
    for (auto* h : allHandlers()) {
        const std::size_t len = extensionMatch(h, name);
        if (len > bestLen) {
            best = h;
            bestLen = len;
        }
    }
    return best;
}

const FormatHandler* handlerForFile(const std::filesystem::path& path)
{
    const auto head = readHead(path);
    const std::string name = toLower(path.filename().string());
    const FormatHandler* best = nullptr;
    int bestScore = 0;
    for (auto* h : allHandlers()) {
        int score = h->bid(head.data(), head.size(), path);
        if (score <= 0) continue;
        if (extensionMatch(h, name)) score += 5;  // equal bids: the name decides
        if (score > bestScore) {
            best = h;
            bestScore = score;
        }
    }
    return best ? best : handlerForName(path);
}

const FormatHandler* handlerByName(const std::string& name)
{
    for (auto* h : allHandlers())
        if (name == h->name()) return h;
    return nullptr;
}

}  // namespace quarva::formatlib
