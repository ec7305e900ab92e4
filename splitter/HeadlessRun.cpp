#include "splitter/HeadlessRun.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "splitter/SplitSet.h"
#include "splitter/SplitTexts.h"
#include "splitter/OperationJob.h"
#include "splitter/SplitSettings.h"

namespace fs = std::filesystem;

namespace quarva::splitter {

namespace {

// Questions nobody is there to answer differently: a retry that cannot succeed stops here.
constexpr int kMaxUnattendedRepeats = 20;
constexpr const char* kGivingUp =
    "The same question was asked 20 times with nobody to answer it.\n The operation is cancelled.";

// Passes every box on and notes whether the run reported its success.
class OutcomeWatch : public platform::Prompts {
public:
    OutcomeWatch(platform::Prompts& inner, bool attended) : inner_(inner), attended_(attended) {}
    platform::Answer messageBox(const platform::MessageBoxRequest& request) override {
        if (!attended_ && request.buttons != platform::Buttons::Ok) {
            repeats_ = request == last_ ? repeats_ + 1 : 1;
            last_ = request;
            if (repeats_ > kMaxUnattendedRepeats) {
                inner_.message(kGivingUp, texts::kAppCaption);
                return request.buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Cancel;
            }
        }
        return inner_.messageBox(request);
    }
    std::optional<std::string> askText(const platform::TextRequest& request) override {
        return inner_.askText(request);
    }
    std::optional<fs::path> chooseFile(const platform::FileRequest& request) override {
        return inner_.chooseFile(request);
    }

private:
    platform::Prompts& inner_;
    bool attended_;
    platform::MessageBoxRequest last_;
    int repeats_ = 0;
};

bool allDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string absolute(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

}  // namespace

const char* headlessUsage() {
    return "Usage:\n"
           "  QuarvaSplit [FILE]                     open the splitter window (needs a display)\n"
           "  QuarvaSplit --split FILE --dest FOLDER [--size floppy|10mb|100mb|N|NKB|NMB | --files N]\n"
           "  QuarvaSplit --rejoin FILE.sio|FILE.N.spl --dest FOLDER [--overwrite]\n"
           "  QuarvaSplit --automation-factory      serve com.quarva.VantorSplit on the session bus\n"
           "Options:\n"
           "  --answer ok|cancel   answer every question of the run this way instead of asking\n"
           "  --overwrite          let the rejoined file replace a file of the same name in FOLDER\n"
           "                       (without it such a file is left as it is and the rejoin fails)\n"
           "Sizes are decimal: 1500KB is 1,500,000 bytes; --files N cuts the file into about N chunks.\n"
           "The exit status is 0 only when the operation completed successfully; after Ctrl-C\n"
           "(or SIGTERM, SIGHUP) the operation is cancelled, its files are removed and the\n"
           "status is 128 + the signal number.\n";
}

// Paths on the command line are taken from the current folder, as a shell user expects.
static std::string absolutePath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::optional<HeadlessOptions> parseHeadlessArguments(const std::vector<std::string>& args, std::string* error) {
    HeadlessOptions o;
    auto need = [&](std::size_t& i, const std::string& option) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            *error = option + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::string> v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--split" || a == "--rejoin") {
            if (o.mode != HeadlessOptions::Mode::Window) {
                *error = "give only one of --split and --rejoin";
                return std::nullopt;
            }
            if (!(v = need(i, a))) return std::nullopt;
            o.mode = a == "--split" ? HeadlessOptions::Mode::Split : HeadlessOptions::Mode::Rejoin;
            o.file = absolutePath(*v);
        } else if (a == "--automation") {
            if (!(v = need(i, a))) return std::nullopt;
            o.automationClient = *v;
        } else if (a == "--automation-factory") {
            o.mode = HeadlessOptions::Mode::AutomationFactory;
        } else if (a == "--overwrite") {
            o.overwrite = true;
        } else if (a == "--dest") {
            if (!(v = need(i, a))) return std::nullopt;
            o.dest = absolutePath(*v);
        } else if (a == "--size") {
            if (!(v = need(i, a))) return std::nullopt;
            o.size = *v;
        } else if (a == "--files") {
            if (!(v = need(i, a))) return std::nullopt;
            o.files = *v;
        } else if (a == "--answer") {
            if (!(v = need(i, a))) return std::nullopt;
            std::string w = *v;
            std::transform(w.begin(), w.end(), w.begin(), [](unsigned char c) { return std::tolower(c); });
            if (w == "ok") o.answer = platform::Answer::Ok;
            else if (w == "cancel") o.answer = platform::Answer::Cancel;
            else {
                *error = "--answer takes ok or cancel";
                return std::nullopt;
            }
        } else if (!a.empty() && a[0] == '-') {
            *error = "unknown option " + a;
            return std::nullopt;
        } else if (o.mode == HeadlessOptions::Mode::Window && o.file.empty()) {
            o.file = a;  // the file to open in the window
        } else {
            *error = "unexpected argument " + a;
            return std::nullopt;
        }
    }
    if (o.help || o.mode == HeadlessOptions::Mode::AutomationFactory) return o;
    if (o.mode == HeadlessOptions::Mode::Window) {
        if (!o.dest.empty() || !o.size.empty() || !o.files.empty() || o.overwrite) {
            *error = "--dest, --size, --files and --overwrite need --split or --rejoin";
            return std::nullopt;
        }
        return o;
    }
    if (o.dest.empty()) {
        *error = "--dest FOLDER is required";
        return std::nullopt;
    }
    if (o.mode != HeadlessOptions::Mode::Rejoin && o.overwrite) {
        *error = "--overwrite applies to --rejoin only";
        return std::nullopt;
    }
    if (o.mode == HeadlessOptions::Mode::Rejoin && (!o.size.empty() || !o.files.empty())) {
        *error = "--size and --files apply to --split only";
        return std::nullopt;
    }
    if (!o.size.empty() && !o.files.empty()) {
        *error = "give either --size or --files";
        return std::nullopt;
    }
    return o;
}

bool applySizeOptions(JobRequest& request, const HeadlessOptions& options, std::string* error) {
    auto custom = [&](std::uint32_t multiplier, std::string text) {
        request.customSize = true;
        request.multiplier = multiplier;
        request.customText = std::move(text);
    };
    auto fixed = [&](std::uint32_t chunkSize) {
        request.customSize = false;
        request.chunkSize = chunkSize;
    };
    if (!options.files.empty()) {
        if (!allDigits(options.files)) {
            *error = "--files takes a whole number";
            return false;
        }
        custom(0, options.files);
        return true;
    }
    if (options.size.empty()) return true;
    const std::string up = upperCase(options.size);
    if (up == "FLOPPY") fixed(kFloppyChunkSize);
    else if (up == "10MB") fixed(kTenMbChunkSize);
    else if (up == "100MB") fixed(kHundredMbChunkSize);
    else {
        std::uint32_t multiplier = 1;
        std::string digits = up;
        if (up.ends_with("KB")) {
            multiplier = 1000;
            digits.resize(up.size() - 2);
        } else if (up.ends_with("MB")) {
            multiplier = 1000000;
            digits.resize(up.size() - 2);
        }
        if (!allDigits(digits)) {
            *error = "--size takes floppy, 10mb, 100mb, N, NKB or NMB";
            return false;
        }
        custom(multiplier, digits);
    }
    return true;
}

int runHeadless(const HeadlessOptions& options, platform::Prompts& prompts, const std::string& programFolder,
                const std::function<void(COperationJob&)>& pump) {
    OutcomeWatch watch(prompts, options.attended);
    auto say = [&](const std::string& text) { watch.message(text, texts::kAppCaption); };
    CSplitSettings settings;
    settings.Load(programFolder);

    JobRequest request;
    request.destFolder = absolute(options.dest);
    request.destDriveType = platform::driveType(request.destFolder);
    const std::string file = absolute(options.file);
    if (options.mode == HeadlessOptions::Mode::Split) {
        std::string error;
        if (!applySizeOptions(request, options, &error)) {
            say(error);
            return 1;
        }
        request.split = true;
        request.sourcePath = file;
        request.eraseBeforeSplit = settings.eraseBeforeSplit;
    } else {
        // As the window opens a set: a chunk leads to its information file.
        if (!endsWithNoCase(file, ".SIO") && !endsWithNoCase(file, ".SPL")) {
            say(texts::kEnterSioOrSpl);
            return 1;
        }
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) {
            say(texts::kFileNotAccessible);
            return 1;
        }
        std::optional<std::string> info =
            endsWithNoCase(file, ".SPL") ? infoPathFromChunkPath(file) : std::optional(file);
        if (!info || !fs::is_regular_file(*info, ec)) {
            say((info ? *info : file) + texts::kNotFoundSuffix);
            return 1;
        }
        request.split = false;
        request.sourcePath = *info;
        request.removeAfterRejoin = settings.removeAfterRejoin;
        request.replaceExisting = options.overwrite ? ReplaceExisting::Replace : ReplaceExisting::Refuse;
    }
    if (!checkJobRequest(request, watch)) return 1;

    auto job = COperationJob::create(std::move(request), watch, {});
    job->start();
    while (!job->waitFor(std::chrono::milliseconds(pump ? 10 : 200)))
        if (pump) pump(*job);
    job->join();
    return job->completed() ? 0 : 1;
}

}  // namespace quarva::splitter
