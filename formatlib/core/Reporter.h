#pragma once
// Sends the library's window messages to the host. Every record and text lives on
// this side only for the duration of the SendMessage call.

#include <string>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Progress.h"
#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

class Reporter : public ProgressListener {
public:
    explicit Reporter(platform::WindowHandle window) : window_(window) {}

    void listed(const EntryInfo& entry) { sendEntry(kMsgListed, entry); }
    void processed(const EntryInfo& entry) { sendEntry(kMsgProcessed, entry); }
    void deleted(const std::string& name);
    void tested(const std::string& name, bool passed);
    void kind(unsigned archiveKind);
    void error(const std::string& entryName, const std::string& fileName, const std::string& cause,
               const std::string& details = {});
    void searchMatch(const std::string& entryName, unsigned line, const std::string& text);

    // An error that ends the operation: what was asked did not happen.
    void failure(const std::string& entryName, const std::string& fileName, const std::string& cause,
                 const std::string& details = {}) {
        error(entryName, fileName, cause, details);
        failed_ = true;
    }
    // Marks the operation failed (its error was reported already).
    void markFailed() { failed_ = true; }
    bool failed() const { return failed_; }
    // kOutcomeOk, kOutcomeSkipped (errors were reported) or kOutcomeFailed.
    unsigned outcome() const {
        return failed_ ? kOutcomeFailed : errors_ > 0 || skipped_ > 0 ? kOutcomeSkipped : kOutcomeOk;
    }
    // Tells the host how the call ended (kMsgFinished); sent once, last.
    void finished();

    int errors() const { return errors_; }

    // Byte progress (kMsgProgress): passed on when it moved by kProgressStep since the
    // last report, reached its total, or counts towards another total.
    void onProgress(std::uint64_t done, std::uint64_t total) override;
    // Bytes of the operation's own work (files read to be added), counted on from
    // the last point reported.
    void addProgress(std::uint64_t bytes) { onProgress(done_ + bytes, total_); }
    // The total of the whole operation, in place of the one each report brings (an
    // add: the old archive's bytes read, then the new files' bytes).
    void setProgressTotal(std::uint64_t total) { fixedTotal_ = total; }
    static constexpr std::uint64_t kProgressStep = 1 << 20;

private:
    void sendEntry(unsigned message, const EntryInfo& entry);
    platform::WindowHandle window_;
    int errors_ = 0;
    bool failed_ = false;
    int skipped_ = 0;
    std::uint64_t done_ = 0, total_ = 0, fixedTotal_ = 0;
    std::uint64_t sentDone_ = 0, sentTotal_ = 0;
    bool sent_ = false;
};

// "dd-mm-yy hh:mm" in local time.
std::string formatModified(std::time_t t);
// A listing record for `entry`; the texts point into `name`, `modified` and `method`.
ListingRecord makeListingRecord(const EntryInfo& entry, const std::string& name, const std::string& modified);

}  // namespace quarva::formatlib
