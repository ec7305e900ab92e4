#include "shared/update/ZorvSession.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string_view>

#include <curl/curl.h>

#include "shared/update/ZorvException.h"

namespace quarva::update {

namespace {

// libcurl's global set-up must happen once, before any thread uses it.
void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    ZorvReply* reply;
    bool keepBody;
    std::size_t maxBody;
    const std::atomic<bool>* cancel;
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    // Only the last answer's headers count (an interim "100 Continue" comes first).
    if (size * count >= 5 && std::string_view(data, 5) == "HTTP/") transfer->reply->rawHeaders.clear();
    transfer->reply->rawHeaders.append(data, size * count);
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (!transfer->keepBody) return length;
    std::string& body = transfer->reply->body;
    if (body.size() + length > transfer->maxBody) {
        // Keep what fits and stop reading: the rest is not ours to hold.
        body.append(data, transfer->maxBody - body.size());
        transfer->reply->truncated = true;
        return 0;
    }
    body.append(data, length);
    return length;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    return transfer->cancel && transfer->cancel->load() ? 1 : 0;
}

}  // namespace

bool resolveHttpUrl(const std::string& text, const std::string& base, std::string& url) {
    CURLU* parsed = curl_url();
    if (!parsed) return false;
    bool ok = base.empty() || curl_url_set(parsed, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK;
    ok = ok && curl_url_set(parsed, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
    char* scheme = nullptr;
    char* full = nullptr;
    ok = ok && curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK;
    if (ok) {
        std::string lower = scheme;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        ok = (lower == "http" || lower == "https") && curl_url_get(parsed, CURLUPART_URL, &full, 0) == CURLUE_OK;
    }
    if (ok) url = full;
    curl_free(scheme);
    curl_free(full);
    curl_url_cleanup(parsed);
    return ok;
}

CZorvSession::CZorvSession(const ZorvOptions& options, int /*accessType: the system's configured access*/)
    : options_(options), deadline_(std::chrono::steady_clock::now() + options.timeout) {
    globalInit();
    curl_ = curl_easy_init();
}

CZorvSession::~CZorvSession() {
    if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

ZorvReply CZorvSession::get(const std::string& url, const std::vector<std::string>& headers,
                            const std::string& credentials, bool keepBody) {
    CURL* curl = static_cast<CURL*>(curl_);
    if (!curl) throw CZorvException(CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT));
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) throw CZorvException(CURLE_OPERATION_TIMEDOUT, "The server did not answer in time");

    ZorvReply reply;
    Transfer transfer{&reply, keepBody, options_.maxBody, options_.cancel};
    curl_slist* list = nullptr;
    for (const auto& header : headers) list = curl_slist_append(list, header.c_str());
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are ours to judge
    curl_easy_setopt(curl, CURLOPT_USERAGENT, options_.agent.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // a worker thread may not take signals
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    if (credentials.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERPWD, nullptr);
    } else {
        curl_easy_setopt(curl, CURLOPT_USERPWD, credentials.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    }

    CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(list);

    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && reply.truncated)) return reply;
    if (code == CURLE_ABORTED_BY_CALLBACK) throw CZorvException(code, "The check was cancelled");
    if (code == CURLE_OPERATION_TIMEDOUT) throw CZorvException(code, "The server did not answer in time");
    throw CZorvException(code, *error ? error : curl_easy_strerror(code));
}

}  // namespace quarva::update
