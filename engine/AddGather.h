#pragma once
// add: the files a name list asks for, gathered before the archive is touched.

#include "engine/EngineOps.h"
#include "platform/FileGatherer.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace quarva::engine {

struct Source {
    std::string path;         // host path
    std::string archiveName;  // "/" separators
    std::uint32_t mode = 0;   // type and permission bits
    std::uint64_t size = 0;
    std::time_t mtime = 0;
    bool isDir = false, isLink = false;
    long replaces = -1;  // index of the old entry it replaces
};

// The path made absolute and normal, without touching the disk.
std::string lexicalAbsolute(const std::string& p);

class Gatherer {
public:
    Gatherer(bool recurse, bool hidden, bool savePath, ZipEngine::Raiser& raise)
        : recurse_(recurse), hidden_(hidden), savePath_(savePath), raise_(raise) {}

    // One line of the name list: a file, a folder, or a wildcard in the last part;
    // `filters` are the group's name patterns for what folders hold.
    void line(const std::string& text, const std::vector<std::string>& filters);

    std::vector<Source> sources;

private:
    void file(const platform::FoundItem& item, const std::vector<std::string>& filters, bool filtered);
    void folder(const platform::FoundItem& item, const std::vector<std::string>& filters, bool top);

    bool recurse_, hidden_, savePath_;
    ZipEngine::Raiser& raise_;
};

}  // namespace quarva::engine
