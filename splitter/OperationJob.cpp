#include "splitter/OperationJob.h"

#include <filesystem>
#include <new>

#include "platform/Interrupt.h"
#include "splitter/MediaRoutines.h"
#include "splitter/RejoinJob.h"
#include "splitter/SplitJob.h"
#include "splitter/SplitTexts.h"

namespace fs = std::filesystem;
using quarva::platform::Answer;
using quarva::platform::Buttons;

namespace quarva::splitter {

bool checkJobRequest(const JobRequest& request, platform::Prompts& prompts) {
    std::error_code ec;
    if (request.sourcePath.empty() || !fs::is_regular_file(request.sourcePath, ec)) {
        askUnlessInterrupted(prompts, texts::kSourceNotDefined);
        return false;
    }
    if ((request.destFolder.empty() || !fs::is_directory(request.destFolder, ec)) &&
        !platform::isDriveRoot(request.destFolder)) {
        askUnlessInterrupted(prompts, texts::kDestinationWrong);
        return false;
    }
    if (request.split) {
        // The set records sizes in 32 bits and names in 260 bytes.
        const std::uintmax_t size = fs::file_size(request.sourcePath, ec);
        if (ec || size > 0xFFFFFFFFull) {
            askUnlessInterrupted(prompts, texts::kSourceTooLarge);
            return false;
        }
        if (!nameFitsInfo(fileNamePart(request.sourcePath))) {
            askUnlessInterrupted(prompts, texts::kNameTooLong);
            return false;
        }
    }
    return true;
}

Answer askUnlessInterrupted(platform::Prompts& prompts, const std::string& text, const std::string& caption,
                            Buttons buttons, platform::Icon icon, int defaultButton) {
    if (buttons != Buttons::Ok && platform::interruptRequested())
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    return prompts.message(text, caption.empty() ? texts::kAppCaption : caption, buttons, icon, defaultButton);
}

void CJobControl::pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
}

void CJobControl::resume(bool cancel) {
    {
        std::lock_guard lock(mutex_);
        paused_ = false;
        if (cancel) cancelled_ = true;
    }
    changed_.notify_all();
}

void CJobControl::cancel() { resume(true); }

bool CJobControl::cancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_ || platform::interruptRequested();
}

bool CJobControl::checkpoint() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !paused_; });
    // Ctrl-C and friends cancel as the window's "Cancel" does.
    return cancelled_ || platform::interruptRequested();
}

std::unique_ptr<COperationJob> COperationJob::create(JobRequest request, platform::Prompts& prompts, JobEvents events) {
    if (request.split) return std::make_unique<CSplitJob>(std::move(request), prompts, std::move(events));
    return std::make_unique<CRejoinJob>(std::move(request), prompts, std::move(events));
}

COperationJob::COperationJob(JobRequest request, platform::Prompts& prompts, JobEvents events)
    : request_(std::move(request)), prompts_(prompts), events_(std::move(events)) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(request_.sourcePath, ec);
    op_.fileSize = ec ? 0 : static_cast<std::uint32_t>(size);
    op_.sourceName = fileNamePart(request_.sourcePath);
    op_.splitFilesFolder = folderPart(fs::absolute(request_.sourcePath).string());
    op_.chunkSize = request_.chunkSize;
}

COperationJob::~COperationJob() { StopAndJoin(); }

void COperationJob::StopAndJoin() {
    if (!worker_.joinable()) return;
    control_.cancel();
    worker_.join();
}

int COperationJob::run() {
    running_ = true;
    int rc = -1;
    try {
        rc = Execute();
    } catch (const std::bad_alloc&) {
        Message(texts::kMemoryInsufficient);
        Abandon();
    } catch (const std::exception&) {
        Message(texts::kVerifyValues);
        Abandon();
    }
    if (!finished_) Finish(control_.cancelled() ? JobEnd::Cancelled : JobEnd::Failed);
    running_ = false;
    return rc;
}

void COperationJob::RunOnWorker() {
    run();
    // Exactly once, whatever happened in the run.
    completion_.set();
}

void COperationJob::start() {
    running_ = true;
    worker_ = std::thread([this] { RunOnWorker(); });
}

bool COperationJob::waitFor(std::chrono::milliseconds timeout) { return completion_.waitFor(timeout); }

void COperationJob::join() {
    if (worker_.joinable()) worker_.join();
}

Answer COperationJob::Message(const std::string& text, const std::string& caption, Buttons buttons, platform::Icon icon,
                              int defaultButton) {
    return askUnlessInterrupted(prompts_, text, caption, buttons, icon, defaultButton);
}

bool COperationJob::Checkpoint() {
    if (events_.checkpoint) events_.checkpoint(op_.currentChunk);
    return control_.checkpoint();
}

void COperationJob::BeginBusy() {
    if (events_.began) events_.began();
}

void COperationJob::SetProgress(int pos, const std::string& label) {
    if (events_.progress) events_.progress(pos, label);
}

void COperationJob::Finish(JobEnd end) {
    if (finished_) return;
    finished_ = true;
    end_ = end;
    if (events_.ended) events_.ended(end, op_.chunkSize);
}

bool COperationJob::GetFreeSpace(const std::string& path) {
    auto bytes = queryFreeSpace(path);
    if (!bytes) return false;
    op_.freeBytes = *bytes;
    return true;
}

void COperationJob::ReportWindowsError(int code) {
    if (auto text = windowsErrorMessage(code)) Message(*text);
    op_.mediaError = true;
}

bool COperationJob::AskRetryOnDrive() {
    return Message(retryOnDriveText(request_.destFolder, request_.destDriveType), texts::kRetryCaption,
                   Buttons::OkCancel) == Answer::Ok;
}

}  // namespace quarva::splitter
