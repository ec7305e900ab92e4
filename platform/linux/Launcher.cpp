#include "platform/Launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quarva::platform {

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inQuotes = false, inWord = false;
    for (char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inWord = true;  // "" is an empty word
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string renderCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& word : argv) {
        if (!line.empty()) line += ' ';
        if (word.empty() || word.find_first_of(" \t") != std::string::npos) line += '"' + word + '"';
        else line += word;
    }
    return line;
}

namespace {

pid_t spawn(const std::vector<std::string>& words) {
    if (words.empty() || words.front().empty()) return -1;
    std::vector<char*> argv;
    for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    return rc == 0 ? pid : -1;
}

}  // namespace

bool ProcessLauncher::launch(const std::vector<std::string>& argv,
                             bool /*shown: a started program shows its own windows*/) {
    pid_t pid = spawn(argv);
    if (pid < 0) return false;
    // Reap the child when it ends, so no zombie is left while this process runs on.
    std::thread([pid] {
        int status;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

int runAndWait(const std::vector<std::string>& argv) {
    pid_t pid = spawn(argv);
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quarva::platform
