// The update check against a server of its own on 127.0.0.1: versions, redirects,
// a password, errors, no server, a server that never answers, and a cancel.
#include "shared/update/UpdateCheck.h"

#include <gtest/gtest.h>

#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quarva::update;

namespace {

// Answers one connection at a time with what `answer` makes of the request's
// header text; an empty answer keeps the client waiting until it gives up.
class LocalServer {
public:
    explicit LocalServer(std::function<std::string(const std::string&)> answer) : answer_(std::move(answer)) {
        socket_ = boundSocket(port_);
        listen(socket_, 8);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalServer() {
        stop_ = true;
        thread_.join();
        close(socket_);
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // A socket on a port the system chose; bound but not listening, it refuses.
    static int boundSocket(int& port) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        return fd;
    }

private:
    // Waits for `fd` to become readable; false once the server stops.
    bool readable(int fd) {
        pollfd wait{fd, POLLIN, 0};
        while (!stop_)
            if (poll(&wait, 1, 20) > 0) return true;
        return false;
    }
    void serve() {
        while (readable(socket_)) {
            int client = accept(socket_, nullptr, nullptr);
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && readable(client)) {
                ssize_t got = read(client, buffer, sizeof buffer);
                if (got <= 0) break;
                request.append(buffer, static_cast<size_t>(got));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            std::string reply = answer_(request);
            if (reply.empty()) {
                // Until the client closes or the test ends.
                while (readable(client) && read(client, buffer, sizeof buffer) > 0) {}
            } else {
                [[maybe_unused]] auto sent = write(client, reply.data(), reply.size());
            }
            close(client);
        }
    }

    std::function<std::string(const std::string&)> answer_;
    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string reply(const std::string& status, const std::string& body, const std::string& headers = {}) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
           headers + "\r\n" + body;
}

std::string path(const std::string& request) { return request.substr(4, request.find(' ', 4) - 4); }

class UpdateCheckTest : public ::testing::Test {
protected:
    UpdateOutcome check(const std::string& url) {
        UpdateRequest request;
        request.versionUrl = url;
        request.currentVersion = "1.0.0.0";
        request.options.timeout = std::chrono::milliseconds(timeoutMs);
        request.askCredentials = askCredentials;
        return checkForUpdate(request);
    }
    int timeoutMs = 15000;
    std::function<std::optional<ZorvCredentials>(const std::string&)> askCredentials;
};

TEST_F(UpdateCheckTest, NewerAndSameVersionAndTheFirstLineRules) {
    LocalServer server([](const std::string& request) {
        std::string file = path(request);
        if (file == "/newer") return reply("200 OK", "2.1.0.5\r\nsecond line\r\n");
        if (file == "/same") return reply("200 OK", "1.0.0.0");
        if (file == "/long") return reply("200 OK", "1.0.0.0 beta\n");
        if (file == "/escape") return reply("200 OK", "\x1b]2;x\a\n");
        if (file == "/binary") return reply("200 OK", std::string("1.0\0\xff", 5));
        return reply("200 OK", "2.0\n" + std::string(200000, 'x'));
    });
    UpdateOutcome newer = check(server.url("/newer"));
    EXPECT_EQ(newer.latest, "2.1.0.5");
    EXPECT_EQ(newer.verdict, Verdict::Newer);
    EXPECT_EQ(verdictText(newer), kNewerAvailable);
    const std::string sent = server.requests().at(0);
    EXPECT_NE(sent.find("User-Agent: Zorv\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("Cache-Control: no-cache\r\n"), std::string::npos) << sent;

    UpdateOutcome same = check(server.url("/same"));
    EXPECT_EQ(same.latest, "1.0.0.0");
    EXPECT_EQ(verdictText(same), kUpToDate);
    // Eleven characters or more are not a version, nor are control characters or
    // bytes beyond ASCII.
    EXPECT_EQ(check(server.url("/long")).latest, kDataUnavailable);
    EXPECT_EQ(check(server.url("/escape")).latest, kDataUnavailable);
    EXPECT_EQ(check(server.url("/binary")).latest, kDataUnavailable);
    // A reply beyond the size limit is cut, and its first line still counts.
    EXPECT_EQ(check(server.url("/huge")).latest, "2.0");
}

TEST_F(UpdateCheckTest, OneRedirectIsFollowedOnlyToHttp) {
    LocalServer server([](const std::string& request) {
        std::string file = path(request);
        if (file == "/moved") return reply("302 Found", "moved", "Location: /version.txt\r\n");
        if (file == "/loop") return reply("302 Found", "", "location: /loop\r\n");
        if (file == "/file") return reply("301 Moved", "", "Location: file:///etc/passwd\r\n");
        return reply("200 OK", "2.0.0.0\n");
    });
    EXPECT_EQ(check(server.url("/moved")).latest, "2.0.0.0");
    EXPECT_EQ(path(server.requests().at(1)), "/version.txt");

    // The second redirect stands as the answer.
    UpdateOutcome loop = check(server.url("/loop"));
    EXPECT_EQ(loop.status, 302);
    EXPECT_EQ(loop.latest, kDataUnavailable);
    EXPECT_EQ(server.requests().size(), 4u);

    UpdateOutcome file = check(server.url("/file"));
    EXPECT_EQ(file.latest, "");
    EXPECT_NE(file.errorText.find("not http or https: file:///etc/passwd"), std::string::npos) << file.errorText;
    EXPECT_EQ(server.requests().size(), 5u);
}

TEST_F(UpdateCheckTest, PasswordIsAskedOnceOn401) {
    LocalServer server([](const std::string& request) {
        if (request.find("Authorization: Basic dXNlcjpzZWNyZXQ=\r\n") != std::string::npos)
            return reply("200 OK", "3.0\n");
        return reply("401 Unauthorized", "no", "WWW-Authenticate: Basic realm=\"Quarva Updates\"\r\n");
    });
    // Nobody to ask: the 401 stands.
    UpdateOutcome refused = check(server.url("/v"));
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.latest, kDataUnavailable);

    // The user may take longer to answer than the server may take.
    timeoutMs = 1000;
    std::vector<std::string> realms;
    askCredentials = [&](const std::string& realm) -> std::optional<ZorvCredentials> {
        realms.push_back(realm);
        if (realms.size() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        return ZorvCredentials{"user", realms.size() == 1 ? "secret" : "wrong"};
    };
    EXPECT_EQ(check(server.url("/v")).latest, "3.0");
    // A wrong password is asked for once only.
    EXPECT_EQ(check(server.url("/v")).status, 401);
    EXPECT_EQ(realms, (std::vector<std::string>{"Quarva Updates", "Quarva Updates"}));
}

TEST_F(UpdateCheckTest, ErrorsLeaveTheFieldEmptyOrUnavailable) {
    LocalServer server([](const std::string&) { return reply("404 Not Found", "1.0\n"); });
    UpdateOutcome missing = check(server.url("/version.txt"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.latest, kDataUnavailable);
    EXPECT_EQ(verdictText(missing), "");

    int port = 0;
    int refusing = LocalServer::boundSocket(port);
    UpdateOutcome refused = check("http://127.0.0.1:" + std::to_string(port) + "/version.txt");
    close(refusing);
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.latest, "");
    EXPECT_EQ(verdictText(refused).rfind(kNotReached, 0), 0u) << verdictText(refused);

    EXPECT_FALSE(CZorvHttpCommand("ftp://127.0.0.1/version.txt").Run());
    EXPECT_FALSE(CZorvHttpCommand("127.0.0.1/version.txt").Run());
    EXPECT_FALSE(CZorvHttpCommand("http://127.0.0.1/a\r\nX-Injected: 1").Run());
}

TEST_F(UpdateCheckTest, SilentServerTimesOutAndACheckCanBeCancelled) {
    LocalServer server([](const std::string&) { return std::string(); });
    timeoutMs = 200;
    UpdateOutcome slow = check(server.url("/version.txt"));
    EXPECT_EQ(slow.latest, "");
    EXPECT_EQ(slow.errorText, "The server did not answer in time");

    // Ending a running check (the dialog closes) waits for its thread and reports nothing.
    std::atomic<bool> reported{false};
    {
        UpdateRequest request;
        request.versionUrl = server.url("/version.txt");
        CUpdateCheck running(request, [&](const UpdateOutcome&) { reported = true; });
        while (server.requests().size() < 2) std::this_thread::yield();
    }
    EXPECT_FALSE(reported);
}

TEST(VersionCompare, DottedNumbers) {
    EXPECT_EQ(compareVersions("2.1", "2.0.9.9"), Verdict::Newer);
    EXPECT_EQ(compareVersions("1.0", "1.0.0.0"), Verdict::Same);
    EXPECT_EQ(compareVersions("0.9.12", "1.0.0.0"), Verdict::Older);
    for (const char* odd : {"", "1..0", "1.0.", "v1.0", "1.0.0.0.1", "-1", "1.0 "})
        EXPECT_EQ(compareVersions(odd, "1.0.0.0"), Verdict::Unknown) << odd;
}

}  // namespace
