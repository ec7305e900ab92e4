#pragma once
// "Check for Updates": fetch the program's version file, take its first line as
// the latest version, and say how it compares with the running one. The check
// runs on a thread of its own (CUpdateCheck) so that the window keeps answering;
// closing the dialog cancels it.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "shared/update/ZorvHttpCommand.h"

namespace quarva::update {

inline constexpr char kDataUnavailable[] = "Data unavailable from server";
inline constexpr char kNewerAvailable[] = "A newer version is available.";
inline constexpr char kUpToDate[] = "You have the latest version.";
inline constexpr char kNotReached[] = "The update server could not be reached: ";
inline constexpr char kCheckingText[] = "Checking for updates...";

// A version line longer than this is not a version.
inline constexpr std::size_t kMaxVersionLength = 10;
inline constexpr std::size_t kMaxFirstLine = 1023;

enum class Verdict { Newer, Same, Older, Unknown };

// What the version dialog shows once the check has ended.
struct UpdateOutcome {
    std::string latest;     // the "Latest:" field
    std::string errorText;  // why no answer came (empty when one came)
    long status = 0;        // the server's last status
    Verdict verdict = Verdict::Unknown;
    bool cancelled = false;
};

// Where the check asks and what it sends.
struct UpdateRequest {
    std::string versionUrl;
    std::string currentVersion;
    std::size_t growthStep = 8192;
    ZorvOptions options;
    std::function<std::optional<ZorvCredentials>(const std::string& realm)> askCredentials;
};

// The "Latest:" text of a version file's first line: the line itself, or "Data
// unavailable from server" when it is too long or holds what no version holds.
std::string latestFromFirstLine(const std::string& line);
// Dotted numbers, compared part by part ("2.1" is "2.1.0.0"); Unknown when either is
// not such a version.
Verdict compareVersions(const std::string& latest, const std::string& current);
// The line under the versions: newer, up to date, or why the server said nothing.
std::string verdictText(const UpdateOutcome& outcome);

// The check itself, on the calling thread.
UpdateOutcome checkForUpdate(const UpdateRequest& request);

// The check on a thread of its own; `done` is called on that thread, once, unless
// the check was cancelled. The destructor cancels and waits for the thread.
class CUpdateCheck {
public:
    CUpdateCheck(UpdateRequest request, std::function<void(const UpdateOutcome&)> done);
    ~CUpdateCheck();
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;

    void cancel() { cancel_ = true; }
    const std::atomic<bool>& cancelFlag() const { return cancel_; }

private:
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace quarva::update
