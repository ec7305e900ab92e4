#include "splitter/ui/ThreadPrompts.h"

#include <future>

#include <wx/app.h>
#include <wx/thread.h>

namespace quarva::splitter::ui {

namespace {

// Runs `ask` on the window thread and waits for its answer.
template <typename Ask>
auto onWindowThread(Ask ask) -> decltype(ask()) {
    if (wxThread::IsMain() || !wxTheApp) return ask();
    std::promise<decltype(ask())> answer;
    auto future = answer.get_future();
    wxTheApp->CallAfter([&] { answer.set_value(ask()); });
    return future.get();
}

}  // namespace

platform::Answer CThreadPrompts::messageBox(const platform::MessageBoxRequest& request) {
    return onWindowThread([&] { return inner_.messageBox(request); });
}

std::optional<std::string> CThreadPrompts::askText(const platform::TextRequest& request) {
    return onWindowThread([&] { return inner_.askText(request); });
}

std::optional<std::filesystem::path> CThreadPrompts::chooseFile(const platform::FileRequest& request) {
    return onWindowThread([&] { return inner_.chooseFile(request); });
}

}  // namespace quarva::splitter::ui
