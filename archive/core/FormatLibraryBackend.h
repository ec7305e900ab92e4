#pragma once
// The format library as an archive backend: each operation calls one entry point
// with the names in double quotes joined by "|", and the library's window
// messages become the sink's calls.

#include <memory>
#include <string>
#include <vector>

#include "archive/core/ArchiveBackend.h"
#include "archive/core/FormatLibraryCalls.h"
#include "platform/WindowMessages.h"

namespace quarva::archive {

// Each name in double quotes, joined by "|".
std::string libraryNameList(const std::vector<std::string>& names);

// The window the library reports to during one call: its messages and records
// passed on to a sink.
class CLibraryMessages : public platform::MessageWindow {
public:
    explicit CLibraryMessages(IArchiveEventSink& sink) : sink_(sink) {}
    platform::WindowHandle window() { return this; }
    std::intptr_t onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    IArchiveEventSink& sink_;
};

class CFormatLibraryBackend : public IArchiveBackend {
public:
    explicit CFormatLibraryBackend(std::unique_ptr<IFormatLibrary> library) : library_(std::move(library)) {}

    IFormatLibrary& library() const { return *library_; }

    std::uint16_t list(const std::string& archive, const ListOptions& options, IArchiveEventSink& sink) override;
    std::uint16_t add(const std::string& archive, const std::vector<std::string>& files, const AddOptions& options,
                      IArchiveEventSink& sink) override;
    std::uint16_t extract(const std::string& archive, const std::vector<std::string>& names,
                          const ExtractOptions& options, IArchiveEventSink& sink) override;
    std::uint16_t remove(const std::string& archive, const std::vector<std::string>& names,
                         const DeleteOptions& options, IArchiveEventSink& sink) override;
    std::uint16_t test(const std::string& archive, const std::vector<std::string>& names, const TestOptions& options,
                       IArchiveEventSink& sink) override;
    void abort() override { library_->abort(); }
    bool startsFreshLog() const override { return false; }

private:
    std::unique_ptr<IFormatLibrary> library_;
};

}  // namespace quarva::archive
