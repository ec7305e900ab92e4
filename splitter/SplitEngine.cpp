// The worker thread: its entry, the split engine, and the media routines both engines use.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/Interrupt.h"
#include "splitter/MediaRoutines.h"
#include "splitter/SplitTexts.h"
#include "splitter/VantorSplitDlg.h"

namespace fs = std::filesystem;
using quarva::platform::Answer;
using quarva::platform::Buttons;
namespace syserr = quarva::platform::syserr;

namespace quarva::splitter {

namespace {

// Removes a file of the set; a folder that happens to have such a name is not touched.
void removeQuietly(const std::string& path) { ::unlink(path.c_str()); }

std::string writeErrorText(const std::string& path, int err)
{
    return texts::kWriteErrorPrefix + path + ":\n" + std::strerror(err);
}

}  // namespace

int CVantorSplitDlg::RunOperation()
{
    int rc = -1;
    try {
        rc = op_.split ? SplitFile() : RejoinFile();
    } catch (const std::bad_alloc&) {
        Message(texts::kMemoryInsufficient);
        rc = op_.split ? EndSplitRun(true, false) : EndRejoinRun(false);
    } catch (const std::exception&) {
        Message(texts::kVerifyValues);
        rc = op_.split ? EndSplitRun(true, false) : EndRejoinRun(false);
    }
    ForgetSplitTemporaries();
    EndOperation();
    running_ = false;
    // Exactly once, whatever happened above.
    completion_->set();
    return rc;
}

void CVantorSplitDlg::BeginBusy()
{
    EnableControls(false);
    Update([](SplitterView& v) {
        v.progressBarStep = 10;
        v.progressPos = 0;
        v.progressBarVisible = true;
    });
}

void CVantorSplitDlg::SetProgress(int pos, const std::string& label)
{
    Update([&](SplitterView& v) {
        v.progressPos = pos;
        v.progressLabel = label;
    });
}

bool CVantorSplitDlg::Checkpoint()
{
    if (checkpointHook_) checkpointHook_(op_.currentChunk);
    std::unique_lock lock(controlMutex_);
    controlChanged_.wait(lock, [this] { return !pauseRequested_; });
    // Ctrl-C and friends cancel as the window's "Cancel" does.
    return cancelRequested_ || platform::interruptRequested();
}

bool CVantorSplitDlg::GetFreeSpace(const std::string& path)
{
    auto bytes = queryFreeSpace(path);
    if (!bytes) return false;
    op_.freeBytes = *bytes;
    return true;
}

void CVantorSplitDlg::ReportWindowsError(int code)
{
    if (auto text = windowsErrorMessage(code)) Message(*text);
    op_.mediaError = true;
}

bool CVantorSplitDlg::AskRetryOnDrive()
{
    Answer answer = Message(retryOnDriveText(op_.destFolder, op_.destDriveType), texts::kRetryCaption, Buttons::OkCancel);
    if (answer == Answer::Ok) return true;
    EndOperation();
    return false;
}

void CVantorSplitDlg::ForgetSplitTemporaries()
{
    platform::unregisterTemporary(op_.infoSlot);
    platform::unregisterTemporary(op_.chunkSlot);
    op_.infoSlot = op_.chunkSlot = -1;
}

void CVantorSplitDlg::RemoveSplitOutput()
{
    if (op_.infoCreated) removeQuietly(joinPath(op_.destFolder, infoFileName(op_.sourceName)));
    for (long i = 0; i <= op_.currentChunk; ++i)
        removeQuietly(joinPath(op_.destFolder, chunkFileName(op_.sourceName, static_cast<std::uint32_t>(i))));
}

int CVantorSplitDlg::EndSplitRun(bool removeOutput, bool hideProgress)
{
    bool closed = op_.infoFile.close();
    closed = op_.dataFile.close() && closed;
    closed = op_.splitChunk.close() && closed;
    if (!closed && !removeOutput) Message(writeErrorText(op_.destFolder, errno));
    if (removeOutput) RemoveSplitOutput();
    EnableControls(true);
    if (hideProgress) Update([](SplitterView& v) { v.progressBarVisible = false; });
    EndOperation();
    return -1;
}

CVantorSplitDlg::Step CVantorSplitDlg::WriteSplitBlock(const std::uint8_t* data, std::size_t size,
                                                       const std::string& chunkPath)
{
    RawFile::Result r = op_.splitChunk.write(data, size);
    if (r.error == 0) return Step::Ok;
    const int code = platform::systemErrorFromErrno(r.error, true);
    if (op_.destDriveType != platform::DriveType::Removable) {
        // A fixed or network destination has no next disk: a full one ends the split.
        Message(code == syserr::kDiskFull ? texts::kDestinationFullPrefix + op_.destFolder + texts::kDestinationFullSuffix
                                          : writeErrorText(chunkPath, r.error));
        return Step::Failed;
    }
    if (code == syserr::kNotReady) {
        Message(texts::kDiskNotInserted);
        op_.mediaError = true;
    }
    if (code != syserr::kDiskFull && !op_.mediaError) {
        // Neither a full disk nor a missing one: the block did not reach the disk.
        Message(writeErrorText(chunkPath, r.error));
        return Step::Failed;
    }
    op_.mediaError = false;
    return Step::DiskChange;
}

int CVantorSplitDlg::SplitFile()
{
    OperationState& s = op_;
    BeginBusy();

    // Custom size from the custom-size box.
    if (s.customSize) {
        const std::string box = view().customBox;
        errno = 0;
        const long long value = std::strtoll(box.c_str(), nullptr, 10);
        if (box.empty() && value == 0) {
            EndOperation();
            return 0;
        }
        if (s.multiplier > 0) {
            if (value < 0) {
                Message(texts::kCheckValues);
                return EndSplitRun(false, false);
            }
            // The set format holds 32-bit sizes; a product beyond them is refused.
            if (errno == ERANGE || static_cast<unsigned long long>(value) > 0xFFFFFFFFull / s.multiplier) {
                Message(texts::kChunkSizeTooLarge);
                return EndSplitRun(false, false);
            }
            s.chunkSize = static_cast<std::uint32_t>(value) * s.multiplier;
        } else {
            if (value == 0) {
                Message(texts::kVerifyValues);
                return EndSplitRun(false, false);
            }
            if (value < 0 || errno == ERANGE || static_cast<unsigned long long>(value) > s.fileSize) {
                Message(texts::kCheckValues);
                return EndSplitRun(false, false);
            }
            const auto files = static_cast<std::uint64_t>(value);
            std::uint64_t chunk = s.fileSize / files;
            // Raise until the wanted number of chunks more than holds the file, then once more.
            while (chunk * files <= s.fileSize) ++chunk;
            ++chunk;
            s.chunkSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk, 0xFFFFFFFFull));
        }
    }

    // One transfer buffer for the whole run.
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(std::min(s.chunkSize, kPassSize));
    } catch (const std::bad_alloc&) {
        Message(texts::kMemoryInsufficient);
        return EndSplitRun(false, false);
    }

    if (s.sourcePath.empty() || s.destFolder.empty()) {
        Message(texts::kNameEmpty);
        return EndSplitRun(false, false);
    }

    if (!GetFreeSpace(s.destFolder)) {
        Message(texts::kDiskInfoFailed);
        return EndSplitRun(false, false);
    }
    // A full removable disk is handled by a disk change instead.
    if (platform::driveType(s.destFolder) != platform::DriveType::Removable && s.freeBytes < s.chunkSize) {
        Message(texts::kNotEnoughSpace);
        return EndSplitRun(false, false);
    }

    const std::string infoPath = joinPath(s.destFolder, infoFileName(s.sourceName));
    {
        // Every name of the set must be a valid file name; retrying a create that can
        // never succeed would only repeat the question.
        const std::uint32_t count = s.chunkSize > 0 ? chunkCountFor(s.fileSize, s.chunkSize) : 0;
        const std::string longest = chunkFileName(s.sourceName, count > 0 ? count - 1 : 0);
        if (infoFileName(s.sourceName).size() > NAME_MAX || longest.size() > NAME_MAX) {
            Message(texts::kNameTooLong);
            return EndSplitRun(false, false);
        }
    }

    if (settings_.eraseBeforeSplit && platform::driveType(s.destFolder) == platform::DriveType::Removable &&
        platform::isDriveRoot(s.destFolder)) {
        // Erasing the disk that holds the source would destroy the source.
        const fs::path root = platform::driveRoot(s.destFolder);
        const fs::path source = fs::weakly_canonical(fs::absolute(s.sourcePath));
        const auto rel = source.lexically_relative(root);
        if (!rel.empty() && *rel.begin() != "..") {
            Message(texts::kSourceOnErasedDisk);
            return EndSplitRun(false, false);
        }
        std::string failed;
        if (!eraseRemovableDrive(s.destFolder, &failed)) {
            Message(texts::kCannotErasePrefix + failed);
            return EndSplitRun(false, false);
        }
    }

    // A run abandoned at a retry question leaves no incomplete set behind.
    auto abandon = [this] {
        RemoveSplitOutput();
        return -1;
    };
    while (!s.infoFile.create(infoPath, true)) {
        ReportWindowsError(platform::lastSystemError(true));
        if (!AskRetryOnDrive()) return abandon();
    }
    s.infoCreated = true;
    s.infoSlot = platform::registerTemporary(infoPath);

    if (!s.dataFile.openRead(s.sourcePath)) {
        Message(texts::kErrorReadingPrefix + s.sourcePath);
        return EndSplitRun(true, false);
    }

    if (s.fileSize < s.chunkSize) {
        Message(texts::kChunkTooLarge);
        return EndSplitRun(true, false);
    }
    if (s.fileSize == s.chunkSize) {
        Message(texts::kChunkSameSize);
        return EndSplitRun(true, false);
    }
    if (s.chunkSize == 0) {
        Message(texts::kChunkZero);
        return EndSplitRun(true, false);
    }

    s.chunkCount = chunkCountFor(s.fileSize, s.chunkSize);
    {
        auto record = encodeInfo({s.chunkCount, s.sourceName, s.fileSize});
        if (!record) {
            Message(texts::kNameTooLong);
            return EndSplitRun(true, false);
        }
        s.infoFile.rewind();
        s.dataFile.rewind();
        RawFile::Result r = s.infoFile.write(record->data(), record->size());
        if (r.error != 0 || !s.infoFile.close()) {
            Message(writeErrorText(infoPath, r.error ? r.error : errno));
            return EndSplitRun(true, false);
        }
    }

    for (std::uint32_t i = 0; i < s.chunkCount; ++i) {
        if (Checkpoint()) return EndSplitRun(true, true);
        const std::string chunkPath = joinPath(s.destFolder, chunkFileName(s.sourceName, i));
        const std::uint64_t start = static_cast<std::uint64_t>(i) * s.chunkSize;
        const std::uint64_t length = std::min<std::uint64_t>(s.chunkSize, s.fileSize - start);
        // The rest of the source fits into one block: no progress steps for it.
        const bool lastPiece = s.fileSize - start <= buffer.size();
        // One attempt per disk: a chunk that does not fit is written again, whole, on the next disk.
        for (bool written = false; !written;) {
            while (!s.splitChunk.create(chunkPath)) {
                ReportWindowsError(platform::lastSystemError(true));
                if (!AskRetryOnDrive()) return abandon();
            }
            s.currentChunk = i;
            platform::unregisterTemporary(s.chunkSlot);
            s.chunkSlot = platform::registerTemporary(chunkPath);
            if (!s.dataFile.seek(start)) {
                Message(texts::kErrorReadingPrefix + s.sourcePath);
                return EndSplitRun(true, false);
            }
            std::uint64_t processed = start;  // bytes of the source read so far
            Step step = Step::Ok;
            for (std::uint64_t left = length; left > 0 && step == Step::Ok;) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
                RawFile::Result r = s.dataFile.read(buffer.data(), want);
                if (r.error != 0 || r.bytes != want) {
                    // The source failed or shrank under us: the set would not match its information file.
                    Message(texts::kErrorReadingPrefix + s.sourcePath);
                    return EndSplitRun(true, false);
                }
                processed += want;
                step = WriteSplitBlock(buffer.data(), want, chunkPath);
                if (step != Step::Ok) break;
                left -= want;
                if (!lastPiece) {
                    SetProgress(static_cast<int>(processed * 100 / s.fileSize),
                                progressText(static_cast<long>(i) + 1, static_cast<long>(s.chunkCount - i - 1)));
                    if (Checkpoint()) step = Step::Cancelled;
                }
            }
            switch (step) {
            case Step::Ok:
                if (!s.splitChunk.close()) {
                    Message(writeErrorText(chunkPath, errno));
                    return EndSplitRun(true, false);
                }
                platform::unregisterTemporary(s.chunkSlot);
                s.chunkSlot = -1;
                written = true;
                break;
            case Step::DiskChange: {
                // The piece on the full disk would be read twice by a rejoin: it goes.
                s.splitChunk.close();
                removeQuietly(chunkPath);
                std::error_code ec;
                const fs::space_info space = fs::space(s.destFolder, ec);
                if (!ec && space.capacity < length) {
                    Message(texts::kChunkLargerThanDisk);
                    return EndSplitRun(true, false);
                }
                if (Message(texts::kInsertAnotherDisk, texts::kInsertAnotherDiskCaption, Buttons::OkCancel) != Answer::Ok)
                    return EndSplitRun(true, false);
                break;
            }
            case Step::Cancelled: return EndSplitRun(true, true);
            default: return EndSplitRun(true, false);
            }
        }
    }
    if (Checkpoint()) return EndSplitRun(true, true);

    // Finished.
    s.dataFile.close();
    buffer = {};
    s.customSize = false;
    Update([](SplitterView& v) {
        v.progressPos = 100;
        v.customBoxVisible = false;
    });
    EnableControls(true);
    RefreshStatusBar("", 0);
    EndOperation();
    ForgetSplitTemporaries();  // the set is complete
    Message(texts::kCompleted);
    return 0;
}

}  // namespace quarva::splitter
