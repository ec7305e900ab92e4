#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "splitter/MediaRoutines.h"
#include "splitter/SplitTexts.h"
#include "splitter/RejoinJob.h"

namespace fs = std::filesystem;
using quarva::platform::Answer;
using quarva::platform::Buttons;

namespace quarva::splitter {

namespace {

std::string insertDiskText(const std::string& chunkPath) {
    std::string text = texts::kInsertDiskContainingFormat;
    text.replace(text.find("%s"), 2, fileNamePart(chunkPath));
    return text;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

}  // namespace

bool CRejoinJob::ReadSplitInfo(std::string* problem) {
    RawFile file;
    if (!file.openRead(request_.sourcePath)) {
        *problem = {};
        return false;
    }
    // One byte more than the record, so that an oversized file is noticed.
    std::vector<std::uint8_t> bytes(kInfoFileSize + 1);
    RawFile::Result r = file.read(bytes.data(), bytes.size());
    file.close();
    if (r.error != 0) {
        *problem = {};
        return false;
    }
    bytes.resize(r.bytes);
    InfoDecode decoded = decodeInfo(bytes);
    if (!decoded.info) {
        *problem = decoded.problem;
        return false;
    }
    storedCount_ = decoded.info->count;
    storedName_ = decoded.info->name;
    storedSize_ = decoded.info->size;
    op_.fileSize = storedSize_;
    op_.sourceName = storedName_;
    chunkBasePath_ = joinPath(op_.splitFilesFolder, storedName_);
    return true;
}

// A file that already has the output's name is replaced only when the user agreed.
bool CRejoinJob::MayWriteOutput() {
    const std::string& path = outputPath_;
    std::error_code ec;
    const fs::file_status linkStatus = fs::symlink_status(path, ec);
    if (!fs::exists(linkStatus)) return true;
    if (fs::is_directory(fs::status(path, ec))) {
        Message(path + texts::kOutputIsFolderSuffix);
        return false;
    }
    switch (request_.replaceExisting) {
    case ReplaceExisting::Replace: return true;
    case ReplaceExisting::Refuse: Message(path + texts::kExistingKeptSuffix); return false;
    case ReplaceExisting::Ask: break;
    }
    // "No" is the default: a stray Enter keeps the file.
    return Message(path + texts::kReplaceExistingSuffix, texts::kAppCaption, Buttons::YesNo, platform::Icon::Question,
                   1) == Answer::Yes;
}

int CRejoinJob::EndRejoinRun() {
    chunk_.close();
    // A partial output is not the file the user asked for: it never takes the output's
    // name, and a file that had that name stays as it was.
    output_.discard();
    return -1;
}

COperationJob::Step CRejoinJob::ReadChunkInto(std::vector<std::uint8_t>& buffer, const std::string& chunkPath) {
    const std::int64_t length = chunk_.size();
    if (length < 0) {
        Message(texts::kErrorReadingPrefix + chunkPath);
        return Step::Failed;
    }
    buffer.assign(static_cast<std::size_t>(std::min<std::int64_t>(length, kPassSize)), 0);
    std::uint64_t left = static_cast<std::uint64_t>(length);
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
        RawFile::Result r = chunk_.read(buffer.data(), want);
        if (r.error != 0 || r.bytes != want) {
            // The rest of this chunk cannot be appended: the output would be short.
            Message(*windowsErrorMessage(platform::syserr::kReadFault));
            return Step::Failed;
        }
        if (totalWritten_ + want > storedSize_) {
            Message(texts::kSetDoesNotMatch);
            return Step::Failed;
        }
        std::error_code ec;
        if (!output_.write(buffer.data(), want, ec)) {
            const int code = platform::systemErrorFromErrno(ec.value(), true);
            auto text = windowsErrorMessage(code);
            Message(text ? *text : texts::kWriteErrorPrefix + outputPath_ + ":\n" + ec.message());
            return Step::Failed;
        }
        totalWritten_ += want;
        left -= want;
        if (Checkpoint()) return Step::Cancelled;
    }
    return Step::Ok;
}

int CRejoinJob::Execute() {
    BeginBusy();

    std::string problem;
    if (!ReadSplitInfo(&problem)) {
        Message(problem.empty() ? texts::kErrorReadingPrefix + request_.sourcePath
                                : texts::kBadInfoFilePrefix + problem);
        return EndRejoinRun();
    }
    if (request_.destFolder.empty()) {
        Message(texts::kSpecifyOutputFolder);
        return EndRejoinRun();
    }
    outputPath_ = joinPath(request_.destFolder, storedName_);
    if (sameFile(outputPath_, request_.sourcePath)) {
        Message(texts::kOutputIsInfoFile);
        return EndRejoinRun();
    }
    if (!MayWriteOutput()) return EndRejoinRun();
    // The output is written beside its name and takes it only when it is complete.
    for (std::error_code ec; !output_.open(outputPath_, ec);) {
        if (!AskRetryOnDrive()) return EndRejoinRun();
    }
    totalWritten_ = 0;

    std::vector<std::uint8_t> buffer;
    auto chunkPath = [&](std::uint32_t index) { return chunkBasePath_ + "." + std::to_string(index) + ".spl"; };
    std::optional<RawFile::Identity> lastPiece;  // the piece appended last
    // Opens a piece; the piece appended last does not count again (the disk was not changed).
    auto openPiece = [&](std::uint32_t index) {
        if (!chunk_.openRead(chunkPath(index))) return false;
        if (lastPiece && chunk_.identity() == *lastPiece) {
            chunk_.close();
            errno = ENOENT;
            return false;
        }
        return true;
    };
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(storedCount_); ++i) {
        if (Checkpoint()) return EndRejoinRun();
        retryStage_ = 0;
        op_.currentChunk = static_cast<long>(i);
        auto index = static_cast<std::uint32_t>(i);  // the index being read: one back after a disk change
        if (!openPiece(index)) {
            if (errno != ENOENT) {
                Message(texts::kErrorReadingPrefix + chunkPath(index));
                return EndRejoinRun();
            }
            if (Message(insertDiskText(chunkPath(index)), texts::kContinueCaption, Buttons::OkCancel) != Answer::Ok)
                return EndRejoinRun();
            // The disk now inserted may hold the rest of the previous chunk, which the split
            // continued there, or the missing chunk itself, which the split moved there whole.
            if (i > 0 && openPiece(index - 1)) {
                --index;
            } else if (!openPiece(index)) {
                retryStage_ = 1;
                const std::uint32_t asked = i > 0 ? index - 1 : index;
                if (Message(insertDiskText(chunkPath(asked)), texts::kContinueCaption, Buttons::OkCancel) == Answer::Ok)
                    Message(texts::kDoubtfulData);
                return EndRejoinRun();
            }
        }
        lastPiece = chunk_.identity();

        switch (ReadChunkInto(buffer, chunkPath(index))) {
        case Step::Ok: break;
        case Step::Cancelled: return EndRejoinRun();
        default: return EndRejoinRun();
        }
        SetProgress(static_cast<int>(static_cast<std::uint64_t>(index) * 100 / storedCount_),
                    progressText(static_cast<long>(index), static_cast<long>(storedCount_ - index)));
        if (events_.pieceDone) events_.pieceDone();
        chunk_.close();

        if (index != i) {
            // The rest of the previous chunk came from this disk; now the missing index.
            --i;
            continue;
        }
        if (totalWritten_ < storedSize_ && i == static_cast<std::int64_t>(storedCount_) - 1) {
            if (Message(texts::kInsertNextDisk, texts::kContinueCaption, Buttons::OkCancel) != Answer::Ok)
                return EndRejoinRun();
            --i;  // the same index again, from the new disk
            continue;
        }
    }
    if (Checkpoint()) return EndRejoinRun();
    if (totalWritten_ != storedSize_) {
        Message(texts::kSetDoesNotMatch);
        return EndRejoinRun();
    }
    if (std::error_code ec; !output_.commit(ec)) {
        Message(texts::kWriteErrorPrefix + outputPath_ + ":\n" + ec.message());
        return EndRejoinRun();
    }
    buffer = {};

    if (request_.removeAfterRejoin) {
        std::error_code ec;
        fs::remove(request_.sourcePath, ec);
        for (const auto& path : chunkPathsFromInfoPath(request_.sourcePath, storedCount_)) fs::remove(path, ec);
    }
    Finish(JobEnd::Completed);
    Message(texts::kCompleted);
    return 0;
}

}  // namespace quarva::splitter
