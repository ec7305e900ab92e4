#include "splitter/HeadlessRun.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "splitter/SplitSet.h"
#include "splitter/SplitTexts.h"
#include "splitter/VantorSplitDlg.h"

namespace fs = std::filesystem;

namespace quarva::splitter {

namespace {

// Questions nobody is there to answer differently: a retry that cannot succeed stops here.
constexpr int kMaxUnattendedRepeats = 20;
constexpr const char* kGivingUp = "The same question was asked 20 times with nobody to answer it.\n The operation is cancelled.";

// Passes every box on and notes whether the run reported its success.
class OutcomeWatch : public platform::Prompts {
public:
    OutcomeWatch(platform::Prompts& inner, bool attended) : inner_(inner), attended_(attended) {}
    platform::Answer messageBox(const platform::MessageBoxRequest& request) override
    {
        if (request.text == texts::kCompleted) completed = true;
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
    std::optional<std::string> askText(const platform::TextRequest& request) override { return inner_.askText(request); }
    std::optional<fs::path> chooseFile(const platform::FileRequest& request) override { return inner_.chooseFile(request); }
    bool completed = false;

private:
    platform::Prompts& inner_;
    bool attended_;
    platform::MessageBoxRequest last_;
    int repeats_ = 0;
};

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string absolute(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

}  // namespace

const char* headlessUsage()
{
    return "Usage:\n"
           "  QuarvaSplit [FILE]                     open the splitter window (needs a display)\n"
           "  QuarvaSplit --split FILE --dest FOLDER [--size floppy|10mb|100mb|N|NKB|NMB | --files N]\n"
           "  QuarvaSplit --rejoin FILE.sio|FILE.N.spl --dest FOLDER [--overwrite]\n"
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
static std::string absolutePath(const std::string& path)
{
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::optional<HeadlessOptions> parseHeadlessArguments(const std::vector<std::string>& args, std::string* error)
{
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
    if (o.help) return o;
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

bool applySizeOptions(CVantorSplitDlg& dlg, const HeadlessOptions& options, std::string* error)
{
    if (!options.files.empty()) {
        if (!allDigits(options.files)) {
            *error = "--files takes a whole number";
            return false;
        }
        dlg.ChooseSize(SizeChoice::Files);
        dlg.SetCustomSizeText(options.files);
        return true;
    }
    if (options.size.empty()) return true;
    const std::string up = upperCase(options.size);
    if (up == "FLOPPY") dlg.ChooseSize(SizeChoice::Floppy);
    else if (up == "10MB") dlg.ChooseSize(SizeChoice::TenMb);
    else if (up == "100MB") dlg.ChooseSize(SizeChoice::HundredMb);
    else {
        SizeChoice choice = SizeChoice::Bytes;
        std::string digits = up;
        if (up.ends_with("KB")) {
            choice = SizeChoice::KiloBytes;
            digits.resize(up.size() - 2);
        } else if (up.ends_with("MB")) {
            choice = SizeChoice::MegaBytes;
            digits.resize(up.size() - 2);
        }
        if (!allDigits(digits)) {
            *error = "--size takes floppy, 10mb, 100mb, N, NKB or NMB";
            return false;
        }
        dlg.ChooseSize(choice);
        dlg.SetCustomSizeText(digits);
    }
    return true;
}

int runHeadless(const HeadlessOptions& options, platform::Prompts& prompts, const std::string& programFolder,
                const std::function<void(CVantorSplitDlg&)>& pump)
{
    OutcomeWatch watch(prompts, options.attended);
    // Paths are taken before the model enters the startup folder.
    const std::string file = absolute(options.file);
    const std::string dest = absolute(options.dest);
    CVantorSplitDlg dlg(watch, programFolder);
    dlg.OnInitDialog(false);
    dlg.setReplaceExisting(options.overwrite ? ReplaceExisting::Replace : ReplaceExisting::Refuse);
    if (pump) dlg.setPump([&] { pump(dlg); });

    if (options.mode == HeadlessOptions::Mode::Split) {
        dlg.SetMode(true);
        std::string error;
        if (!applySizeOptions(dlg, options, &error)) {
            watch.message(error, texts::kAppCaption);
            return 1;
        }
        dlg.OnFileChosen(file, folderPart(file));
    } else {
        dlg.SetMode(false);
        if (endsWithNoCase(file, ".SIO") || endsWithNoCase(file, ".SPL")) dlg.OpenFile(file);
        else {
            watch.message(texts::kEnterSioOrSpl, texts::kAppCaption);
            return 1;
        }
    }
    dlg.OnFolderChosen(dest);
    dlg.OnAction();
    return watch.completed ? 0 : 1;
}

}  // namespace quarva::splitter
