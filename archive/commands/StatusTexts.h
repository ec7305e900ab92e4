#pragma once
// The status bar's texts and the number formatting behind them.

#include <cstdint>
#include <string>

namespace quarva::archive {

// "1234567" → "1,234,567".
std::string groupedNumber(std::uint64_t number);
// Up to 1,024 bytes "%ld bytes"; up to 1,048,576 bytes "%dKB" (kilobytes rounded
// down); above that the kilobytes grouped by threes and " KB".
std::string sizeText(std::uint64_t bytes);
// Pane 1: "Total %d Files,%s ".
std::string totalsText(std::uint64_t entryCount, std::uint64_t totalSize);
// Pane 2: "Selected %d Object(s)".
std::string selectedText(std::uint64_t count);

}  // namespace quarva::archive
