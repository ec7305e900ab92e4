#pragma once
// One internet session of the update check: a libcurl handle opened with an agent
// name, over the system's configured access (the proxy variables of the
// environment). It carries what every request of one check shares: the deadline,
// the cancel flag and the largest body it accepts. Only http and https are ever
// spoken, also after a redirect.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quarva::update {

// What the session needs to know for one check; the window side fills it.
struct ZorvOptions {
    std::string agent = "Zorv";
    // For the whole check, redirect and second try included.
    std::chrono::milliseconds timeout{15000};
    // Larger replies are cut there (a version file is one short line).
    std::size_t maxBody = 64 * 1024;
    // Set from another thread to end the check as soon as possible.
    const std::atomic<bool>* cancel = nullptr;
};

// One answer of the server.
struct ZorvReply {
    long status = 0;
    std::string rawHeaders;  // the header lines as received, CR LF included
    std::string body;
    bool truncated = false;  // the body was longer than maxBody
};

class CZorvSession {
public:
    explicit CZorvSession(const ZorvOptions& options, int accessType = 0);
    ~CZorvSession();
    CZorvSession(const CZorvSession&) = delete;
    CZorvSession& operator=(const CZorvSession&) = delete;

    // One GET of `url`; `credentials` is "user:password" or empty. The body is kept
    // only when `keepBody`. Throws CZorvException on a transfer error, a time-out
    // or a cancel.
    ZorvReply get(const std::string& url, const std::vector<std::string>& headers, const std::string& credentials,
                  bool keepBody);

    bool cancelled() const { return options_.cancel && options_.cancel->load(); }
    // Time spent waiting for the user is not the server's.
    void extendDeadline(std::chrono::steady_clock::duration extra) { deadline_ += extra; }

private:
    ZorvOptions options_;
    std::chrono::steady_clock::time_point deadline_;
    void* curl_ = nullptr;
};

// `text` as an absolute http or https URL, resolved against `base` when it is
// relative (a redirect's "Location"); false for anything else.
bool resolveHttpUrl(const std::string& text, const std::string& base, std::string& url);

}  // namespace quarva::update
