#pragma once
// Shared pieces of the splitter's tests: a fresh folder per test with a source, an
// output and a rejoin folder, scripted prompts with a hook (to swap disks when asked),
// and helpers to run a split or rejoin through the window model.

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/testing/ScriptedPrompts.h"
#include "platform/testing/TestSupport.h"
#include "splitter/SplitTexts.h"
#include "splitter/VantorSplitDlg.h"

namespace quarva::splitter::testing {

namespace fs = std::filesystem;
using platform::Answer;
using platform::Buttons;
using platform::MessageBoxRequest;

// Scripted prompts that can act before a box is answered (a disk swap, a check).
class HookedPrompts : public platform::testing::ScriptedPrompts {
public:
    std::function<void(const MessageBoxRequest&)> onBox;
    Answer messageBox(const MessageBoxRequest& request) override {
        if (onBox) onBox(request);
        // A run that keeps asking is a fault under test: end it rather than loop for ever.
        if (boxes().size() > 200 && request.buttons == Buttons::OkCancel) {
            ADD_FAILURE() << "endless questions: " << request.text;
            return Answer::Cancel;
        }
        return ScriptedPrompts::messageBox(request);
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> out;
        for (const auto& b : boxes()) out.push_back(b.text);
        return out;
    }
    int count(const std::string& text) const {
        int n = 0;
        for (const auto& b : boxes()) n += b.text == text;
        return n;
    }
    bool shown(const std::string& text) const {
        for (const auto& b : boxes())
            if (b.text == text) return true;
        return false;
    }
};

class SplitterTest : public quarva::testing::FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        unsetenv("QUARVA_REMOVABLE_ROOTS");
        src = dir() / "src";
        out = dir() / "out";
        back = dir() / "back";
        fs::create_directories(src);
        fs::create_directories(out);
        fs::create_directories(back);
    }
    void TearDown() override {
        unsetenv("QUARVA_REMOVABLE_ROOTS");
        FolderTest::TearDown();
    }

    fs::path makeSource(const std::string& name, std::size_t size, std::uint32_t seed = 7) {
        fs::path p = src / name;
        quarva::testing::writeFile(p, quarva::testing::randomBytes(size, seed));
        return p;
    }

    std::unique_ptr<CVantorSplitDlg> makeDlg() {
        auto dlg = std::make_unique<CVantorSplitDlg>(prompts, (dir() / "installed").string());
        dlg->OnInitDialog(false);
        return dlg;
    }

    // A dialog that splits by `choice` with `sizeText` in the size box.
    std::unique_ptr<CVantorSplitDlg> makeDlg(SizeChoice choice, const std::string& sizeText) {
        auto dlg = makeDlg();
        dlg->ChooseSize(choice);
        dlg->SetCustomSizeText(sizeText);
        return dlg;
    }

    // A split of `source` into `dest` in split mode with whatever size the dialog holds.
    void split(CVantorSplitDlg& dlg, const fs::path& source, const fs::path& dest) {
        dlg.SetMode(true);
        dlg.OnFileChosen(source.string(), source.parent_path().string());
        dlg.OnFolderChosen(dest.string());
        dlg.OnAction();
    }

    void rejoin(CVantorSplitDlg& dlg, const fs::path& infoOrChunk, const fs::path& dest) {
        dlg.OpenFile(infoOrChunk.string());
        dlg.OnFolderChosen(dest.string());
        dlg.OnAction();
    }

    std::vector<std::string> filesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::uintmax_t sizeOf(const fs::path& p) { return fs::file_size(p); }

    HookedPrompts prompts;
    fs::path src, out, back;
};

}  // namespace quarva::splitter::testing
