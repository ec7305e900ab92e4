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
#include "splitter/SplitJob.h"

namespace fs = std::filesystem;
using quarva::platform::Answer;
using quarva::platform::Buttons;
namespace syserr = quarva::platform::syserr;

namespace quarva::splitter {

namespace {

// Removes a file of the set; a folder that happens to have such a name is not touched.
void removeQuietly(const std::string& path) { ::unlink(path.c_str()); }

std::string writeErrorText(const std::string& path, int err) {
    return texts::kWriteErrorPrefix + path + ":\n" + std::strerror(err);
}

}  // namespace

CSplitJob::~CSplitJob() {
    StopAndJoin();
    ForgetSplitTemporaries();
}

void CSplitJob::ForgetSplitTemporaries() {
    platform::unregisterTemporary(infoSlot_);
    platform::unregisterTemporary(chunkSlot_);
    infoSlot_ = chunkSlot_ = -1;
}

void CSplitJob::RemoveSplitOutput() {
    if (infoCreated_) removeQuietly(joinPath(request_.destFolder, infoFileName(op_.sourceName)));
    for (long i = 0; i <= op_.currentChunk; ++i)
        removeQuietly(joinPath(request_.destFolder, chunkFileName(op_.sourceName, static_cast<std::uint32_t>(i))));
}

int CSplitJob::EndSplitRun(bool removeOutput) {
    bool closed = infoFile_.close();
    closed = dataFile_.close() && closed;
    closed = chunk_.close() && closed;
    if (!closed && !removeOutput) Message(writeErrorText(request_.destFolder, errno));
    if (removeOutput) RemoveSplitOutput();
    ForgetSplitTemporaries();
    return -1;
}

COperationJob::Step CSplitJob::WriteSplitBlock(const std::uint8_t* data, std::size_t size,
                                               const std::string& chunkPath) {
    RawFile::Result r = chunk_.write(data, size);
    if (r.error == 0) return Step::Ok;
    const int code = platform::systemErrorFromErrno(r.error, true);
    if (request_.destDriveType != platform::DriveType::Removable) {
        // A fixed or network destination has no next disk: a full one ends the split.
        Message(code == syserr::kDiskFull
                    ? texts::kDestinationFullPrefix + request_.destFolder + texts::kDestinationFullSuffix
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

bool CSplitJob::TakeCustomSize() {
    const std::string& box = request_.customText;
    const std::uint32_t multiplier = request_.multiplier;
    errno = 0;
    const long long value = std::strtoll(box.c_str(), nullptr, 10);
    if (box.empty() && value == 0) return false;  // nothing entered: the run ends quietly
    if (multiplier > 0) {
        if (value < 0) {
            Message(texts::kCheckValues);
            return false;
        }
        // The set format holds 32-bit sizes; a product beyond them is refused.
        if (errno == ERANGE || static_cast<unsigned long long>(value) > 0xFFFFFFFFull / multiplier) {
            Message(texts::kChunkSizeTooLarge);
            return false;
        }
        op_.chunkSize = static_cast<std::uint32_t>(value) * multiplier;
        return true;
    }
    if (value == 0) {
        Message(texts::kVerifyValues);
        return false;
    }
    if (value < 0 || errno == ERANGE || static_cast<unsigned long long>(value) > op_.fileSize) {
        Message(texts::kCheckValues);
        return false;
    }
    const auto files = static_cast<std::uint64_t>(value);
    std::uint64_t chunk = op_.fileSize / files;
    // Raise until the wanted number of chunks more than holds the file, then once more.
    while (chunk * files <= op_.fileSize) ++chunk;
    ++chunk;
    op_.chunkSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk, 0xFFFFFFFFull));
    return true;
}

int CSplitJob::Execute() {
    State& s = op_;
    const std::string& sourcePath = request_.sourcePath;
    const std::string& destFolder = request_.destFolder;
    BeginBusy();

    if (request_.customSize && !TakeCustomSize()) return EndSplitRun(false);

    // One transfer buffer for the whole run.
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(std::min(s.chunkSize, kPassSize));
    } catch (const std::bad_alloc&) {
        Message(texts::kMemoryInsufficient);
        return EndSplitRun(false);
    }

    if (sourcePath.empty() || destFolder.empty()) {
        Message(texts::kNameEmpty);
        return EndSplitRun(false);
    }

    if (!GetFreeSpace(destFolder)) {
        Message(texts::kDiskInfoFailed);
        return EndSplitRun(false);
    }
    // A full removable disk is handled by a disk change instead.
    if (platform::driveType(destFolder) != platform::DriveType::Removable && s.freeBytes < s.chunkSize) {
        Message(texts::kNotEnoughSpace);
        return EndSplitRun(false);
    }

    const std::string infoPath = joinPath(destFolder, infoFileName(s.sourceName));
    {
        // Every name of the set must be a valid file name; retrying a create that can
        // never succeed would only repeat the question.
        const std::uint32_t count = s.chunkSize > 0 ? chunkCountFor(s.fileSize, s.chunkSize) : 0;
        const std::string longest = chunkFileName(s.sourceName, count > 0 ? count - 1 : 0);
        if (infoFileName(s.sourceName).size() > NAME_MAX || longest.size() > NAME_MAX) {
            Message(texts::kNameTooLong);
            return EndSplitRun(false);
        }
    }

    if (request_.eraseBeforeSplit && platform::driveType(destFolder) == platform::DriveType::Removable &&
        platform::isDriveRoot(destFolder)) {
        // Erasing the disk that holds the source would destroy the source.
        const fs::path root = platform::driveRoot(destFolder);
        const fs::path source = fs::weakly_canonical(fs::absolute(sourcePath));
        const auto rel = source.lexically_relative(root);
        if (!rel.empty() && *rel.begin() != "..") {
            Message(texts::kSourceOnErasedDisk);
            return EndSplitRun(false);
        }
        std::string failed;
        if (!eraseRemovableDrive(destFolder, &failed)) {
            Message(texts::kCannotErasePrefix + failed);
            return EndSplitRun(false);
        }
    }

    // A run abandoned at a retry question leaves no incomplete set behind.
    while (!infoFile_.create(infoPath, true)) {
        ReportWindowsError(platform::lastSystemError(true));
        if (!AskRetryOnDrive()) return EndSplitRun(true);
    }
    infoCreated_ = true;
    infoSlot_ = platform::registerTemporary(infoPath);

    if (!dataFile_.openRead(sourcePath)) {
        Message(texts::kErrorReadingPrefix + sourcePath);
        return EndSplitRun(true);
    }

    if (s.fileSize < s.chunkSize) {
        Message(texts::kChunkTooLarge);
        return EndSplitRun(true);
    }
    if (s.fileSize == s.chunkSize) {
        Message(texts::kChunkSameSize);
        return EndSplitRun(true);
    }
    if (s.chunkSize == 0) {
        Message(texts::kChunkZero);
        return EndSplitRun(true);
    }

    s.chunkCount = chunkCountFor(s.fileSize, s.chunkSize);
    {
        auto record = encodeInfo({s.chunkCount, s.sourceName, s.fileSize});
        if (!record) {
            Message(texts::kNameTooLong);
            return EndSplitRun(true);
        }
        infoFile_.rewind();
        dataFile_.rewind();
        RawFile::Result r = infoFile_.write(record->data(), record->size());
        if (r.error != 0 || !infoFile_.close()) {
            Message(writeErrorText(infoPath, r.error ? r.error : errno));
            return EndSplitRun(true);
        }
    }

    for (std::uint32_t i = 0; i < s.chunkCount; ++i) {
        if (Checkpoint()) return EndSplitRun(true);
        const std::string chunkPath = joinPath(destFolder, chunkFileName(s.sourceName, i));
        const std::uint64_t start = static_cast<std::uint64_t>(i) * s.chunkSize;
        const std::uint64_t length = std::min<std::uint64_t>(s.chunkSize, s.fileSize - start);
        // The rest of the source fits into one block: no progress steps for it.
        const bool lastPiece = s.fileSize - start <= buffer.size();
        // One attempt per disk: a chunk that does not fit is written again, whole, on the next disk.
        for (bool written = false; !written;) {
            while (!chunk_.create(chunkPath)) {
                ReportWindowsError(platform::lastSystemError(true));
                if (!AskRetryOnDrive()) return EndSplitRun(true);
            }
            s.currentChunk = i;
            platform::unregisterTemporary(chunkSlot_);
            chunkSlot_ = platform::registerTemporary(chunkPath);
            if (!dataFile_.seek(start)) {
                Message(texts::kErrorReadingPrefix + sourcePath);
                return EndSplitRun(true);
            }
            std::uint64_t processed = start;  // bytes of the source read so far
            Step step = Step::Ok;
            for (std::uint64_t left = length; left > 0 && step == Step::Ok;) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
                RawFile::Result r = dataFile_.read(buffer.data(), want);
                if (r.error != 0 || r.bytes != want) {
                    // The source failed or shrank under us: the set would not match its information file.
                    Message(texts::kErrorReadingPrefix + sourcePath);
                    return EndSplitRun(true);
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
                if (!chunk_.close()) {
                    Message(writeErrorText(chunkPath, errno));
                    return EndSplitRun(true);
                }
                platform::unregisterTemporary(chunkSlot_);
                chunkSlot_ = -1;
                written = true;
                break;
            case Step::DiskChange: {
                // The piece on the full disk would be read twice by a rejoin: it goes.
                chunk_.close();
                removeQuietly(chunkPath);
                std::error_code ec;
                const fs::space_info space = fs::space(destFolder, ec);
                if (!ec && space.capacity < length) {
                    Message(texts::kChunkLargerThanDisk);
                    return EndSplitRun(true);
                }
                if (Message(texts::kInsertAnotherDisk, texts::kInsertAnotherDiskCaption, Buttons::OkCancel) !=
                    Answer::Ok)
                    return EndSplitRun(true);
                break;
            }
            default: return EndSplitRun(true);
            }
        }
    }
    if (Checkpoint()) return EndSplitRun(true);

    // Finished: the set is complete.
    dataFile_.close();
    buffer = {};
    ForgetSplitTemporaries();
    Finish(JobEnd::Completed);
    Message(texts::kCompleted);
    return 0;
}

}  // namespace quarva::splitter
