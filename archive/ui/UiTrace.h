#pragma once
// A line-per-change record of what the main window shows (status panes, title,
// list rows, tree), written to the file named by QUARVA_UI_TRACE. Off when the
// variable is unset. The GUI tests read it while they drive the window with real
// input; people reading a bug report can use it too.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/Prompts.h"

namespace quarva::archive::ui {

class CUiTrace {
public:
    // Null when tracing is off.
    static std::unique_ptr<CUiTrace> fromEnvironment();
    explicit CUiTrace(std::FILE* file) : file_(file) {}
    ~CUiTrace();
    void write(const std::string& line);
    // "box: CAPTION | TEXT | BUTTONS | ICON" for a message box about to show.
    void writeBox(const platform::MessageBoxRequest& box);

private:
    std::FILE* file_;
};

}  // namespace quarva::archive::ui
