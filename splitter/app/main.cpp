// QuarvaSplit: the file splitter. With --split or --rejoin it runs one operation
// without a window; otherwise it opens the splitter window, which needs a display.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Interrupt.h"
#include "platform/Prompts.h"
#include "splitter/HeadlessRun.h"
#include "splitter/Automation.h"
#include "splitter/OperationJob.h"
#include "splitter/ui/SplitterWindow.h"

namespace {

std::string programFolder() {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quarva::splitter;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = parseHeadlessArguments(args, &error);
    if (!options) {
        std::cerr << "QuarvaSplit: " << error << "\n" << headlessUsage();
        return 2;
    }
    if (options->help) {
        std::cout << headlessUsage();
        return 0;
    }
    if (options->mode == HeadlessOptions::Mode::AutomationFactory) {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        return runAutomationFactory(ec ? std::string(argv[0]) : self.string());
    }
    if (options->mode == HeadlessOptions::Mode::Window) {
        if (!haveDisplay()) {
            std::cerr << "QuarvaSplit: the splitter window needs a display, and none is available "
                         "(DISPLAY and WAYLAND_DISPLAY are not set).\n"
                         "To split or rejoin without a window use --split or --rejoin:\n"
                      << headlessUsage();
            return 2;
        }
        // The file to open, as the command line gave it (a relative path is taken from
        // the current folder before the window enters its startup folder).
        std::string file = options->file;
        if (!file.empty()) {
            std::error_code ec;
            auto full = std::filesystem::absolute(file, ec);
            if (!ec) file = full.lexically_normal().string();
        }
        return quarva::splitter::ui::runSplitterWindow(argc, argv, file, programFolder(), options->automationClient);
    }

    // Ctrl-C, SIGTERM and SIGHUP cancel the run at its next checkpoint, as the window's
    // "Cancel" does, and the engines remove what they had written.
    quarva::platform::installInterruptHandlers();
    // Questions go to the terminal when there is one, else they get the default answer
    // (or the one given with --answer).
    const bool interactive = isatty(STDIN_FILENO) != 0;
    quarva::platform::ConsolePrompts prompts(interactive, options->answer);
    options->attended = interactive && !options->answer;
    bool told = false;
    auto pump = [&told](COperationJob& job) {
        if (told || !quarva::platform::interruptRequested()) return;
        told = true;
        std::cerr << "QuarvaSplit: interrupted; cancelling the operation.\n";
        job.control().cancel();
    };
    const int rc = runHeadless(*options, prompts, programFolder(), pump);
    if (const int sig = quarva::platform::interruptSignal(); sig != 0 && rc != 0) return 128 + sig;
    return rc;
}
