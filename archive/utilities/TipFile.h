#pragma once
// The tips of "Tip of the Day": one tip per line of "tips.txt" in the archive
// manager's folder. Lines beginning with a tab, a blank or ";" (and empty lines)
// are not tips. The reading position is kept between runs in the profile section
// "Tip" ("FilePos"), and starts again at the top when the file has changed since
// ("TimeStamp", the file's modification time as ctime text). "StartUp" 0 means
// the dialog is shown at start-up.

#include <cstdio>
#include <filesystem>
#include <string>

#include "archive/core/SettingsStore.h"

namespace quarva::archive {

inline constexpr char kTipSectionKey[] = "Software\\Quarva Software\\Quarva.Zip Suite\\Tip";
inline constexpr char kTipsFileName[] = "tips.txt";
inline constexpr char kTipsMissingText[] = "Tips file does not exist in the prescribed directory";
inline constexpr char kTipsTroubleText[] = "Trouble reading the tips file";

class CTipFile {
public:
    CTipFile(SettingsStore& store, std::filesystem::path tipsFile);
    ~CTipFile();  // writes "FilePos" when the file is open
    CTipFile(const CTipFile&) = delete;
    CTipFile& operator=(const CTipFile&) = delete;

    // The tip to show first: read from the saved position, or the missing-file text.
    void open();
    // The next tip, going round to the top at the end of the file.
    void next();

    const std::string& tip() const { return tip_; }
    // "&Next Tip" is offered only while there is a file to read.
    bool canAdvance() const { return file_ != nullptr; }

    static bool showAtStartup(const SettingsStore& store);
    // Closing the dialog with "&Close": the state of "&Show Tips on StartUp".
    static void setShowAtStartup(SettingsStore& store, bool show);

private:
    bool readTip();

    SettingsStore& store_;
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::string tip_;
};

}  // namespace quarva::archive
