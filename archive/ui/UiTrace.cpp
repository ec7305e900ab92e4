#include "archive/ui/UiTrace.h"

#include <cstdlib>

namespace quarva::archive::ui {

std::unique_ptr<CUiTrace> CUiTrace::fromEnvironment() {
    const char* path = std::getenv("QUARVA_UI_TRACE");
    if (!path || !*path) return nullptr;
    std::FILE* file = std::fopen(path, "a");
    return file ? std::make_unique<CUiTrace>(file) : nullptr;
}

CUiTrace::~CUiTrace() { std::fclose(file_); }

void CUiTrace::write(const std::string& line) {
    // One line per record: line ends inside a text are shown as "\n".
    std::string flat;
    for (char c : line) flat += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    std::fprintf(file_, "%s\n", flat.c_str());
    std::fflush(file_);
}

}  // namespace quarva::archive::ui
