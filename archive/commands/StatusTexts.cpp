#include "archive/commands/StatusTexts.h"

namespace quarva::archive {

std::string groupedNumber(std::uint64_t number) {
    std::string digits = std::to_string(number);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes <= 1024) return std::to_string(bytes) + " bytes";
    if (bytes <= 1048576) return std::to_string(bytes / 1024) + "KB";
    return groupedNumber(bytes / 1024) + " KB";
}

std::string totalsText(std::uint64_t entryCount, std::uint64_t totalSize) {
    return "Total " + std::to_string(entryCount) + " Files," + sizeText(totalSize) + " ";
}

std::string selectedText(std::uint64_t count) { return "Selected " + std::to_string(count) + " Object(s)"; }

}  // namespace quarva::archive
