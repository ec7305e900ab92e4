#pragma once
// One HTTP GET of the update check. Run never throws: whatever goes wrong on the
// way (no connection, time-out, cancel, a redirect to something that is not http
// or https) ends in `errorText`; Run returns false only when the URL itself is not
// an http or https URL.
//
// The exchange: a GET; on 401 the credentials are asked for once (when someone
// can answer) and the request is sent again; on 301, 302 or 303 the "Location" is
// followed once (relative ones are resolved against the request). A second
// redirect is not followed: its answer stands as it is.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/update/ZorvSession.h"

namespace quarva::update {

// The request flags: reload from the server, reuse an existing connection, do not
// write to a cache, no automatic redirects.
inline constexpr std::uint32_t kFlagReload = 0x80000000u;
inline constexpr std::uint32_t kFlagReuseConnection = 0x20000000u;
inline constexpr std::uint32_t kFlagNoCacheWrite = 0x04000000u;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;
inline constexpr std::uint32_t kDefaultRequestFlags =
    kFlagReload | kFlagReuseConnection | kFlagNoCacheWrite | kFlagNoAutoRedirect;

struct ZorvCredentials {
    std::string user;
    std::string password;
};

class CZorvHttpCommand {
public:
    explicit CZorvHttpCommand(std::string url);
    virtual ~CZorvHttpCommand();
    virtual bool Run();

    // The server's last status (0 when no answer came).
    long status() const { return status_; }

    int accessType = 0;
    std::uint32_t requestFlags = kDefaultRequestFlags;
    // "Name: value" lines separated by CR LF; a name already sent is not added again.
    std::string extraHeaders;
    std::string url;
    std::string errorText;
    ZorvOptions options;
    // Asked on a 401 with the server's realm; nothing means the 401 stands.
    std::function<std::optional<ZorvCredentials>(const std::string& realm)> askCredentials;

protected:
    bool run(bool keepBody, ZorvReply& reply);

private:
    std::vector<std::string> requestHeaders() const;

    long status_ = 0;
};

// The same exchange, keeping the body of the answer in memory.
class CZorvHttpCommandEx : public CZorvHttpCommand {
public:
    CZorvHttpCommandEx(std::string url, std::size_t growthStep);
    bool Run() override;

    const std::string& body() const { return body_; }
    // The body's first line without its line end, at most `maxChars` characters.
    std::string firstLine(std::size_t maxChars) const;

private:
    std::size_t growthStep_;
    std::string body_;
};

}  // namespace quarva::update
