#pragma once
// The splitter without its window, for scripts and tests:
//   QuarvaSplit --split FILE --dest FOLDER [--size floppy|10mb|100mb|N|NKB|NMB | --files N]
//   QuarvaSplit --rejoin FILE.sio|FILE.N.spl --dest FOLDER [--overwrite]
// It runs the same split and rejoin jobs as the window, with the window's checks before
// them; the questions are answered on the console or with a fixed answer (--answer ok|cancel).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Prompts.h"

namespace quarva::splitter {

class COperationJob;
struct JobRequest;

struct HeadlessOptions {
    enum class Mode { Window, Split, Rejoin, AutomationFactory } mode = Mode::Window;
    // The window serves the automation object for this client (a bus name); set by the
    // automation factory when it starts the program.
    std::string automationClient;
    std::string file;
    std::string dest;
    std::string size;   // --size as given
    std::string files;  // --files as given
    std::optional<platform::Answer> answer;
    bool overwrite = false;  // a rejoin may replace an existing file of the output's name
    // A person answers the questions (a terminal, no --answer). Otherwise a question asked
    // over and over with the same answer ends the run instead of repeating for ever.
    bool attended = false;
    bool help = false;
};

// nullopt with `error` set on a malformed command line.
std::optional<HeadlessOptions> parseHeadlessArguments(const std::vector<std::string>& args, std::string* error);
const char* headlessUsage();

// Applies --size / --files to a split request. false with `error` on a bad value.
bool applySizeOptions(JobRequest& request, const HeadlessOptions& options, std::string* error);

// Runs one split or rejoin; 0 only when the run ended with
// "Operation Status:\n Completed successfully", else 1.
// An interrupt (platform/Interrupt.h) cancels the run at its next checkpoint.
// `pump` is called while the job runs (the front end checks for an interrupt there).
int runHeadless(const HeadlessOptions& options, platform::Prompts& prompts, const std::string& programFolder,
                const std::function<void(COperationJob&)>& pump = {});

}  // namespace quarva::splitter
