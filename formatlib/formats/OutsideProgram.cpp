// Running the outside programs that read formats libarchive cannot: started in a
// folder of their own, their output kept or dropped, stopped when what they unpack
// grows past a ceiling or the user aborts; a password typed at their prompt on a
// pseudo-terminal of ours, never put on their command line.

#include "formatlib/formats/OutsideProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "formatlib/core/Abort.h"
#include "formatlib/core/Progress.h"

extern char** environ;

namespace quarva::formatlib {
namespace fs = std::filesystem;

std::string findTool(const char* name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const std::string full = dir + "/" + name;
        if (access(full.c_str(), X_OK) == 0) return full;
    }
    return {};
}

namespace {

// Ends a program started here and whatever it started in turn (its session), and
// waits for it.
void endProgram(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
}

// The program printed its password prompt last and waits for the answer (the same
// words inside a name it lists are followed by more output).
bool promptWaits(const std::string& printed) {
    static const std::string prompt = "Password (will not be shown):";
    const std::size_t end = printed.find_last_not_of(' ');
    return end != std::string::npos && end + 1 >= prompt.size() &&
           printed.compare(end + 1 - prompt.size(), prompt.size(), prompt) == 0;
}

// Starts `args` in `folder`, in a session of its own, with the standard
// descriptors `standardFds` sets up and none other of ours. -1 when it cannot start.
pid_t spawnSession(const std::vector<std::string>& args, const std::string& folder,
                   const std::function<void(posix_spawn_file_actions_t&)>& standardFds) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    standardFds(fa);
    posix_spawn_file_actions_addclosefrom_np(&fa, 3);
    posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &fa, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
}

// Starts a program in `folder`, in a session of its own without a terminal to ask
// on, holding no descriptor of ours but its standard ones. `input`, when given, is
// written to its standard input (a password: never on the command line, where every
// local user could read it).
pid_t spawnIn(const std::vector<std::string>& args, const std::string& folder, int outFd, bool errorsToo,
              const std::string& input) {
    int inFds[2] = {-1, -1};
    if (!input.empty() && pipe2(inFds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = spawnSession(args, folder, [&](posix_spawn_file_actions_t& fa) {
        if (!input.empty()) posix_spawn_file_actions_adddup2(&fa, inFds[0], 0);
        else posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        if (outFd >= 0) posix_spawn_file_actions_adddup2(&fa, outFd, 1);
        else posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        if (outFd >= 0 && errorsToo) posix_spawn_file_actions_adddup2(&fa, outFd, 2);
        else posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    });
    if (!input.empty()) {
        ::close(inFds[0]);
        if (pid > 0) {
            // A few bytes, well within the pipe's buffer: written at once.
            const std::string line = input + "\n";
            struct sigaction ignore {
            }, old{};
            ignore.sa_handler = SIG_IGN;
            sigaction(SIGPIPE, &ignore, &old);
            [[maybe_unused]] const ssize_t n = ::write(inFds[1], line.data(), line.size());
            sigaction(SIGPIPE, &old, nullptr);
        }
        ::close(inFds[1]);
    }
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True once the program has ended (or cannot be waited for); it is not reaped yet,
// so that its session still names what it left running.
bool hasEnded(pid_t pid) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno != EINTR;
    return info.si_pid == pid;
}

// The exit status of a program that has ended; what it left running ends too.
int reap(pid_t pid) {
    kill(-pid, SIGKILL);
    return exitStatus(pid);
}

}  // namespace

int runListing(const std::vector<std::string>& args, const std::string& folder, std::string& out, std::size_t most,
               bool errorsToo, const std::string& input) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = spawnIn(args, folder, pipeFds[1], errorsToo, input);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return -1;
    }
    char buf[8192];
    for (;;) {
        // Abort ends a program that neither prints nor ends.
        struct pollfd p {
            pipeFds[0], POLLIN, 0
        };
        if (abortRequested()) {
            ::close(pipeFds[0]);
            endProgram(pid);
            return -1;
        }
        // Its output ends when it and all it started close it; a program that ended
        // while something it left running holds the output open ends the listing too.
        const int ready = poll(&p, 1, 100);
        if (ready == 0 && hasEnded(pid)) break;
        if (ready <= 0) continue;
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        if (out.size() < most) out.append(buf, static_cast<std::size_t>(std::min<std::size_t>(n, most - out.size())));
    }
    while (!hasEnded(pid)) {
        if (abortRequested()) {
            ::close(pipeFds[0]);
            endProgram(pid);
            return -1;
        }
        struct timespec pause {
            0, 20 * 1000 * 1000
        };
        nanosleep(&pause, nullptr);
    }
    const int status = reap(pid);
    // What it printed before it ended.
    struct pollfd p {
        pipeFds[0], POLLIN, 0
    };
    for (ssize_t n; poll(&p, 1, 0) > 0 && (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
        if (out.size() < most) out.append(buf, static_cast<std::size_t>(std::min<std::size_t>(n, most - out.size())));
    ::close(pipeFds[0]);
    return status;
}

namespace {

// The bytes of the files below `folder`, reported as progress towards `listed`.
std::uint64_t bytesBelow(const fs::path& folder, std::uint64_t listed) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        struct stat st {};
        if (lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) total += static_cast<std::uint64_t>(st.st_size);
    }
    reportProgress(total, listed);
    return total;
}

}  // namespace

int runUnpack(const std::vector<std::string>& args, const std::string& folder, std::uint64_t ceiling,
              std::uint64_t listed, bool* overflow, bool* aborted, const std::string& input) {
    const pid_t pid = spawnIn(args, folder, -1, false, input);
    if (pid < 0) return -1;
    long pauseMs = 10;  // short at first, so that a small bomb is caught early; longer for big archives
    for (;;) {
        if (hasEnded(pid)) {
            const int status = reap(pid);
            // What was written in the last moments counts too.
            if (bytesBelow(folder, listed) > ceiling) {
                *overflow = true;
                return -1;
            }
            return status;
        }
        const bool over = bytesBelow(folder, listed) > ceiling;
        if (over || abortRequested()) {
            *(over ? overflow : aborted) = true;
            endProgram(pid);
            return -1;
        }
        pauseMs = std::min(pauseMs * 2, 200L);
        struct timespec pause {
            0, pauseMs * 1000 * 1000
        };
        nanosleep(&pause, nullptr);
    }
}

int runAnswering(const std::vector<std::string>& args, const std::string& folder, const std::string& password,
                 std::string* out, std::uint64_t ceiling, std::uint64_t listed, bool* overflow, bool* aborted,
                 bool* refused) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        if (master >= 0) ::close(master);
        return -1;
    }
    // Held open until the program ends, so that the terminal stays while the program
    // opens it; no echo and no output processing: what comes back is the program's own text.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios tio {};
    if (slave >= 0 && tcgetattr(slave, &tio) == 0) {
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ISIG | IEXTEN);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(slave, TCSANOW, &tio);
    }
    // A session of its own, in which the terminal opened first becomes its controlling one.
    const pid_t pid = spawnSession(args, folder, [&](posix_spawn_file_actions_t& fa) {
        posix_spawn_file_actions_addopen(&fa, 0, name, O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&fa, 0, 1);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    });
    int status = -1;
    if (pid > 0) {
        std::string pending;  // printed since the last answer
        bool answered = false, done = false;
        long pauseMs = 10;
        auto stop = [&](bool* why) {
            *why = true;
            endProgram(pid);
            done = true;
        };
        while (!done) {
            struct pollfd p {
                master, POLLIN, 0
            };
            char buf[8192];
            ssize_t n = 0;
            if (poll(&p, 1, static_cast<int>(pauseMs)) > 0 && (p.revents & POLLIN)) n = ::read(master, buf, sizeof buf);
            if (n <= 0) pauseMs = std::min(pauseMs * 2, 200L);
            if (n > 0) {
                pending.append(buf, static_cast<std::size_t>(n));
                if (out && out->size() < (16u << 20)) out->append(buf, static_cast<std::size_t>(n));
                if (promptWaits(pending)) {
                    if (answered) {
                        stop(refused);
                        break;
                    }
                    const std::string line = password + "\n";
                    [[maybe_unused]] const ssize_t w = ::write(master, line.data(), line.size());
                    answered = true;
                    pending.clear();
                } else if (pending.size() > 4096) {
                    pending.erase(0, pending.size() - 64);
                }
                pauseMs = 10;  // more may follow at once
            }
            if (hasEnded(pid)) {
                status = reap(pid);
                if (ceiling && bytesBelow(folder, listed) > ceiling) *overflow = true;
                break;
            }
            if (ceiling && bytesBelow(folder, listed) > ceiling) stop(overflow);
            else if (abortRequested()) stop(aborted);
        }
        // What it printed last (its verdict on the password).
        char buf[8192];
        struct pollfd p {
            master, POLLIN, 0
        };
        for (ssize_t n; poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && (n = ::read(master, buf, sizeof buf)) > 0;)
            if (out && out->size() < (16u << 20)) out->append(buf, static_cast<std::size_t>(n));
    }
    if (slave >= 0) ::close(slave);
    ::close(master);
    return *overflow || *aborted || *refused ? -1 : status;
}

}  // namespace quarva::formatlib
