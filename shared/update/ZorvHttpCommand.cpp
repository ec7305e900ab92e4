#include "shared/update/ZorvHttpCommand.h"

#include <algorithm>
#include <cctype>

#include "shared/update/ZorvException.h"

namespace quarva::update {

namespace {

constexpr std::size_t kMaxErrorText = 1024;

bool isRedirect(long status) { return status == 301 || status == 302 || status == 303; }

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The value of header `name` (lower case, with its colon) in raw header lines.
std::string headerValue(const std::string& rawHeaders, const std::string& name) {
    std::string all = lower(rawHeaders);
    for (std::size_t at = 0; at < all.size();) {
        std::size_t end = all.find('\n', at);
        if (end == std::string::npos) end = all.size();
        if (all.compare(at, name.size(), name) == 0) {
            std::string value = rawHeaders.substr(at + name.size(), end - at - name.size());
            auto first = value.find_first_not_of(" \t");
            auto last = value.find_last_not_of(" \t\r");
            return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
        }
        at = end + 1;
    }
    return {};
}

std::string realmOf(const std::string& rawHeaders) {
    std::string challenge = headerValue(rawHeaders, "www-authenticate:");
    auto at = lower(challenge).find("realm=\"");
    if (at == std::string::npos) return {};
    at += 7;
    auto end = challenge.find('"', at);
    return challenge.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string headerName(const std::string& line) { return lower(line.substr(0, line.find(':'))); }

}  // namespace

CZorvHttpCommand::CZorvHttpCommand(std::string url) : url(std::move(url)) {}

CZorvHttpCommand::~CZorvHttpCommand() = default;

bool CZorvHttpCommand::Run() {
    ZorvReply reply;
    return run(false, reply);
}

std::vector<std::string> CZorvHttpCommand::requestHeaders() const {
    std::vector<std::string> headers;
    if (requestFlags & kFlagReload) headers = {"Cache-Control: no-cache", "Pragma: no-cache"};
    for (std::size_t at = 0; at < extraHeaders.size();) {
        std::size_t end = extraHeaders.find("\r\n", at);
        if (end == std::string::npos) end = extraHeaders.size();
        std::string line = extraHeaders.substr(at, end - at);
        at = end + 2;
        if (line.find(':') == std::string::npos) continue;
        bool present = std::any_of(headers.begin(), headers.end(),
                                   [&](const std::string& header) { return headerName(header) == headerName(line); });
        if (!present) headers.push_back(line);
    }
    return headers;
}

bool CZorvHttpCommand::run(bool keepBody, ZorvReply& reply) {
    errorText.clear();
    status_ = 0;
    std::string target;
    if (!resolveHttpUrl(url, {}, target)) return false;
    CZorvSession session(options, accessType);
    const std::vector<std::string> headers = requestHeaders();
    try {
        reply = session.get(target, headers, {}, keepBody);
        if (reply.status == 401 && askCredentials) {
            auto asked = std::chrono::steady_clock::now();
            auto credentials = askCredentials(realmOf(reply.rawHeaders));
            session.extendDeadline(std::chrono::steady_clock::now() - asked);
            if (credentials)
                reply = session.get(target, headers, credentials->user + ":" + credentials->password, keepBody);
        }
        if (isRedirect(reply.status)) {
            std::string location = headerValue(reply.rawHeaders, "location:");
            std::string next;
            if (!resolveHttpUrl(location, target, next))
                throw CZorvException(
                    0, "The server sent the request on to an address that is not http or https: " + location);
            // Credentials given for one server are not sent on to another.
            reply = session.get(next, headers, {}, keepBody);
        }
        status_ = reply.status;
        if (reply.truncated) errorText = "The answer was too long and was cut short";
    } catch (const CZorvException& error) {
        errorText = error.message().substr(0, kMaxErrorText);
        reply.body.clear();
    }
    return true;
}

CZorvHttpCommandEx::CZorvHttpCommandEx(std::string url, std::size_t growthStep)
    : CZorvHttpCommand(std::move(url)), growthStep_(growthStep) {}

bool CZorvHttpCommandEx::Run() {
    ZorvReply reply;
    reply.body.reserve(growthStep_);
    bool parsed = run(true, reply);
    body_ = std::move(reply.body);
    return parsed;
}

std::string CZorvHttpCommandEx::firstLine(std::size_t maxChars) const {
    std::string line = body_.substr(0, std::min(body_.find('\n'), maxChars));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace quarva::update
