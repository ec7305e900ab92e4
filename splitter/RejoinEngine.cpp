// The rejoin engine: rebuilds the source file from its split set, following the set
// across removable disks.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "splitter/MediaRoutines.h"
#include "splitter/SplitTexts.h"
#include "splitter/VantorSplitDlg.h"

namespace fs = std::filesystem;
using quarva::platform::Answer;
using quarva::platform::Buttons;

namespace quarva::splitter {

namespace {

std::string insertDiskText(const std::string& chunkPath)
{
    std::string text = texts::kInsertDiskContainingFormat;
    text.replace(text.find("%s"), 2, fileNamePart(chunkPath));
    return text;
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

}  // namespace

bool CVantorSplitDlg::ReadSplitInfo(std::string* problem)
{
    RawFile file;
    if (!file.openRead(op_.sourcePath)) {
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
    op_.storedCount = decoded.info->count;
    op_.storedName = decoded.info->name;
    op_.storedSize = decoded.info->size;
    op_.fileSize = op_.storedSize;
    op_.sourceName = op_.storedName;
    op_.chunkBasePath = joinPath(op_.splitFilesFolder, op_.storedName);
    return true;
}

// A file that already has the output's name is replaced only when the user agreed.
bool CVantorSplitDlg::MayWriteOutput()
{
    const std::string& path = op_.outputPath;
    std::error_code ec;
    const fs::file_status linkStatus = fs::symlink_status(path, ec);
    if (!fs::exists(linkStatus)) return true;
    if (fs::is_directory(fs::status(path, ec))) {
        Message(path + texts::kOutputIsFolderSuffix);
        return false;
    }
    switch (replaceExisting_) {
    case ReplaceExisting::Replace: return true;
    case ReplaceExisting::Refuse: Message(path + texts::kExistingKeptSuffix); return false;
    case ReplaceExisting::Ask: break;
    }
    // "No" is the default: a stray Enter keeps the file.
    return Message(path + texts::kReplaceExistingSuffix, texts::kAppCaption, Buttons::YesNo, platform::Icon::Question, 1) ==
           Answer::Yes;
}

int CVantorSplitDlg::EndRejoinRun(bool hideProgress)
{
    op_.rejoinChunk.close();
    // A partial output is not the file the user asked for: it never takes the output's
    // name, and a file that had that name stays as it was.
    op_.output.discard();
    EnableControls(true);
    if (hideProgress) Update([](SplitterView& v) { v.progressBarVisible = false; });
    EndOperation();
    return -1;
}

CVantorSplitDlg::Step CVantorSplitDlg::ReadChunkInto(std::vector<std::uint8_t>& buffer, const std::string& chunkPath)
{
    OperationState& s = op_;
    const std::int64_t length = s.rejoinChunk.size();
    if (length < 0) {
        Message(texts::kErrorReadingPrefix + chunkPath);
        return Step::Failed;
    }
    buffer.assign(static_cast<std::size_t>(std::min<std::int64_t>(length, kPassSize)), 0);
    std::uint64_t left = static_cast<std::uint64_t>(length);
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
        RawFile::Result r = s.rejoinChunk.read(buffer.data(), want);
        if (r.error != 0 || r.bytes != want) {
            // The rest of this chunk cannot be appended: the output would be short.
            Message(*windowsErrorMessage(platform::syserr::kReadFault));
            return Step::Failed;
        }
        if (s.totalWritten + want > s.storedSize) {
            Message(texts::kSetDoesNotMatch);
            return Step::Failed;
        }
        std::error_code ec;
        if (!s.output.write(buffer.data(), want, ec)) {
            const int code = platform::systemErrorFromErrno(ec.value(), true);
            auto text = windowsErrorMessage(code);
            Message(text ? *text : texts::kWriteErrorPrefix + s.outputPath + ":\n" + ec.message());
            return Step::Failed;
        }
        s.totalWritten += want;
        left -= want;
        if (Checkpoint()) return Step::Cancelled;
    }
    return Step::Ok;
}

int CVantorSplitDlg::RejoinFile()
{
    OperationState& s = op_;
    BeginBusy();

    std::string problem;
    if (!ReadSplitInfo(&problem)) {
        Message(problem.empty() ? texts::kErrorReadingPrefix + s.sourcePath : texts::kBadInfoFilePrefix + problem);
        return EndRejoinRun(false);
    }
    if (s.destFolder.empty()) {
        Message(texts::kSpecifyOutputFolder);
        return EndRejoinRun(false);
    }
    s.outputPath = joinPath(s.destFolder, s.storedName);
    if (sameFile(s.outputPath, s.sourcePath)) {
        Message(texts::kOutputIsInfoFile);
        return EndRejoinRun(false);
    }
    if (!MayWriteOutput()) return EndRejoinRun(false);
    // The output is written beside its name and takes it only when it is complete.
    for (std::error_code ec; !s.output.open(s.outputPath, ec);) {
        if (!AskRetryOnDrive()) return -1;
    }
    s.totalWritten = 0;

    std::vector<std::uint8_t> buffer;
    auto chunkPath = [&](std::uint32_t index) { return s.chunkBasePath + "." + std::to_string(index) + ".spl"; };
    std::optional<RawFile::Identity> lastPiece;  // the piece appended last
    // Opens a piece; the piece appended last does not count again (the disk was not changed).
    auto openPiece = [&](std::uint32_t index) {
        if (!s.rejoinChunk.openRead(chunkPath(index))) return false;
        if (lastPiece && s.rejoinChunk.identity() == *lastPiece) {
            s.rejoinChunk.close();
            errno = ENOENT;
            return false;
        }
        return true;
    };
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(s.storedCount); ++i) {
        if (Checkpoint()) return EndRejoinRun(true);
        s.retryStage = 0;
        s.currentChunk = static_cast<long>(i);
        auto index = static_cast<std::uint32_t>(i);  // the index being read: one back after a disk change
        if (!openPiece(index)) {
            if (errno != ENOENT) {
                Message(texts::kErrorReadingPrefix + chunkPath(index));
                return EndRejoinRun(false);
            }
            if (Message(insertDiskText(chunkPath(index)), texts::kContinueCaption, Buttons::OkCancel) != Answer::Ok)
                return EndRejoinRun(false);
            // The disk now inserted may hold the rest of the previous chunk, which the split
            // continued there, or the missing chunk itself, which the split moved there whole.
            if (i > 0 && openPiece(index - 1)) {
                --index;
            } else if (!openPiece(index)) {
                s.retryStage = 1;
                const std::uint32_t asked = i > 0 ? index - 1 : index;
                if (Message(insertDiskText(chunkPath(asked)), texts::kContinueCaption, Buttons::OkCancel) == Answer::Ok)
                    Message(texts::kDoubtfulData);
                return EndRejoinRun(false);
            }
        }
        lastPiece = s.rejoinChunk.identity();

        switch (ReadChunkInto(buffer, chunkPath(index))) {
        case Step::Ok: break;
        case Step::Cancelled: return EndRejoinRun(true);
        default: return EndRejoinRun(false);
        }
        SetProgress(static_cast<int>(static_cast<std::uint64_t>(index) * 100 / s.storedCount),
                    progressText(static_cast<long>(index), static_cast<long>(s.storedCount - index)));
        RefreshStatusBar("", 0);
        s.rejoinChunk.close();

        if (index != i) {
            // The rest of the previous chunk came from this disk; now the missing index.
            --i;
            continue;
        }
        if (s.totalWritten < s.storedSize && i == static_cast<std::int64_t>(s.storedCount) - 1) {
            if (Message(texts::kInsertNextDisk, texts::kContinueCaption, Buttons::OkCancel) != Answer::Ok)
                return EndRejoinRun(false);
            --i;  // the same index again, from the new disk
            continue;
        }
    }
    if (Checkpoint()) return EndRejoinRun(true);
    if (s.totalWritten != s.storedSize) {
        Message(texts::kSetDoesNotMatch);
        return EndRejoinRun(false);
    }
    if (std::error_code ec; !s.output.commit(ec)) {
        Message(texts::kWriteErrorPrefix + s.outputPath + ":\n" + ec.message());
        return EndRejoinRun(false);
    }
    buffer = {};

    if (settings_.removeAfterRejoin) {
        std::error_code ec;
        fs::remove(s.sourcePath, ec);
        for (const auto& path : chunkPathsFromInfoPath(s.sourcePath, s.storedCount)) fs::remove(path, ec);
    }
    EnableControls(true);
    RefreshStatusBar("", 0);
    EndOperation();
    Message(texts::kCompleted);
    return 0;
}

}  // namespace quarva::splitter
