#include "shared/update/UpdateCheck.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace quarva::update {

namespace {

// Up to four dotted numbers; false for anything else.
bool parseVersion(const std::string& text, std::array<unsigned long, 4>& parts) {
    parts = {};
    std::size_t index = 0;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    if (at == end) return false;
    for (;;) {
        if (index == parts.size()) return false;
        auto [next, error] = std::from_chars(at, end, parts[index++]);
        if (error != std::errc() || next == at) return false;
        if (next == end) return true;
        if (*next != '.') return false;
        at = next + 1;
    }
}

}  // namespace

std::string latestFromFirstLine(const std::string& line) {
    // Control characters or bytes beyond ASCII are no version either, and are not
    // to reach the dialog as they came.
    bool printable = std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    return line.size() > kMaxVersionLength || !printable ? std::string(kDataUnavailable) : line;
}

Verdict compareVersions(const std::string& latest, const std::string& current) {
    std::array<unsigned long, 4> a, b;
    if (!parseVersion(latest, a) || !parseVersion(current, b)) return Verdict::Unknown;
    return a > b ? Verdict::Newer : a == b ? Verdict::Same : Verdict::Older;
}

std::string verdictText(const UpdateOutcome& outcome) {
    if (!outcome.errorText.empty()) return kNotReached + outcome.errorText;
    switch (outcome.verdict) {
    case Verdict::Newer: return kNewerAvailable;
    case Verdict::Same:
    case Verdict::Older: return kUpToDate;
    case Verdict::Unknown: break;
    }
    return {};
}

UpdateOutcome checkForUpdate(const UpdateRequest& request) {
    CZorvHttpCommandEx command(request.versionUrl, request.growthStep);
    command.options = request.options;
    command.askCredentials = request.askCredentials;
    UpdateOutcome outcome;
    if (!command.Run()) {
        outcome.errorText = "the update address is not an http or https address";
        return outcome;
    }
    outcome.status = command.status();
    outcome.cancelled = request.options.cancel && request.options.cancel->load();
    if (command.status() == 0) {
        // No answer at all: the field stays empty and the reason is shown beneath.
        outcome.errorText = command.errorText;
        return outcome;
    }
    // An error page is not a version file, however short its first line.
    outcome.latest = command.status() / 100 == 2 ? latestFromFirstLine(command.firstLine(kMaxFirstLine))
                                                 : std::string(kDataUnavailable);
    outcome.verdict = compareVersions(outcome.latest, request.currentVersion);
    return outcome;
}

CUpdateCheck::CUpdateCheck(UpdateRequest request, std::function<void(const UpdateOutcome&)> done) {
    request.options.cancel = &cancel_;
    thread_ = std::thread([this, request = std::move(request), done = std::move(done)] {
        UpdateOutcome outcome = checkForUpdate(request);
        if (!cancel_ && done) done(outcome);
    });
}

CUpdateCheck::~CUpdateCheck() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace quarva::update
