// QuarvaSplit: the file splitter. With --split or --rejoin it runs one operation
// without a window; otherwise it opens the splitter window, which needs a display.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Prompts.h"
#include "splitter/HeadlessRun.h"
#include "splitter/VantorSplitDlg.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
    // A second interrupt ends the program the ordinary way.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

std::string programFolder()
{
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

bool haveDisplay()
{
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// The splitter window. It lives in splitter/ui/ once that is built; until then this
// program runs only its operations without a window.
int runWindow(const quarva::splitter::HeadlessOptions&)
{
    std::cerr << "QuarvaSplit: the splitter window is not part of this build; "
                 "use --split or --rejoin to run an operation without it.\n"
              << quarva::splitter::headlessUsage();
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
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
    if (options->mode == HeadlessOptions::Mode::Window) {
        if (!haveDisplay()) {
            std::cerr << "QuarvaSplit: the splitter window needs a display, and none is available "
                         "(DISPLAY and WAYLAND_DISPLAY are not set).\n"
                         "To split or rejoin without a window use --split or --rejoin:\n"
                      << headlessUsage();
            return 2;
        }
        return runWindow(*options);
    }

    // Questions go to the terminal when there is one, else they get the default answer
    // (or the one given with --answer).
    const bool interactive = isatty(STDIN_FILENO) != 0;
    quarva::platform::ConsolePrompts prompts(interactive, options->answer);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // An interrupt acts as the window's "Cancel": on a terminal the run holds while it
    // asks whether to go on; otherwise the operation is cancelled and cleaned up.
    auto pump = [interactive, &options](CVantorSplitDlg& dlg) {
        if (!interrupted) return;
        interrupted = 0;
        if (interactive && !options->answer) {
            dlg.OnCancelOperation();
        } else {
            dlg.RequestCancel();
            std::cerr << "QuarvaSplit: interrupted; cancelling the operation.\n";
        }
    };
    return runHeadless(*options, prompts, programFolder(), pump);
}
