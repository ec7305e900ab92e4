#pragma once
// One split or one rejoin as an object of its own: what to do (`JobRequest`), the state
// of the run, the questions it asks through Prompts, the progress it reports
// (`JobEvents`) and the pause/cancel control a driver holds (`CJobControl`). The window
// model, the headless front end and automation all run the same jobs; the job knows
// nothing of who drives it.
//
// Threads: `start()` runs the job on a worker thread and signals its end; `run()` runs
// it on the calling thread. The events are called on the thread that runs the job, as
// are the questions; whoever shows them on another thread marshals them there.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/Event.h"
#include "platform/FileSystem.h"
#include "platform/Prompts.h"
#include "splitter/RawFile.h"
#include "splitter/SplitSet.h"

namespace quarva::splitter {

// What a rejoin does when a file of the output's name exists: the window asks; the
// headless front end replaces it only when told to (--overwrite) and refuses otherwise.
enum class ReplaceExisting { Ask, Replace, Refuse };

// What to split or rejoin, taken from the window (or the command line) when the
// action starts.
struct JobRequest {
    bool split = true;
    std::string sourcePath;  // split: the file; rejoin: the information file
    std::string destFolder;
    // Taken once when the action starts, before an empty destination is filled in.
    platform::DriveType destDriveType = platform::DriveType::Fixed;
    // Split: a fixed chunk size, or a custom one from the text of the custom-size box
    // times the multiplier (0: the text is a number of files).
    bool customSize = false;
    std::uint32_t chunkSize = kFloppyChunkSize;
    std::uint32_t multiplier = 1;
    std::string customText;
    bool eraseBeforeSplit = false;
    // Rejoin.
    bool removeAfterRejoin = false;
    ReplaceExisting replaceExisting = ReplaceExisting::Ask;
};

// The checks of the action before a job starts: the source exists, the destination is
// a folder (or a drive root), and a split's source and name fit the set's fields.
// Shows the message and returns false when one fails.
bool checkJobRequest(const JobRequest& request, platform::Prompts& prompts);

// How a run ended.
enum class JobEnd { Completed, Failed, Cancelled };

// What a job tells its driver; every member may be empty.
struct JobEvents {
    std::function<void()> began;  // the run starts: controls off, progress shown at 0
    std::function<void(int percent, const std::string& label)> progress;
    std::function<void()> pieceDone;  // a rejoin appended a piece of the set
    // Before the closing message of a completed run, after the failure messages of the
    // others; `chunkSize` is the size the run worked with.
    std::function<void(JobEnd end, std::uint32_t chunkSize)> ended;
    std::function<void(long chunk)> checkpoint;  // at each checkpoint, before any pause (tests)
};

// Pause and cancel, cooperative: the job looks at its checkpoints (between passes).
// An interrupt of the process (platform/Interrupt.h) cancels as `cancel()` does.
class CJobControl {
public:
    void pause();
    // Ends a pause; with `cancel` the job stops at its checkpoint and removes what it wrote.
    void resume(bool cancel);
    void cancel();
    // Waits while paused; true when the job is to stop.
    bool checkpoint();
    // Whether the job was told to stop, without waiting.
    bool cancelled();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool paused_ = false;
    bool cancelled_ = false;
};

// A question that nobody waits for after an interrupt is answered "Cancel" (or "No"):
// a retry or a disk change would only keep the run going.
platform::Answer askUnlessInterrupted(platform::Prompts& prompts, const std::string& text,
                                      const std::string& caption = {},
                                      platform::Buttons buttons = platform::Buttons::Ok,
                                      platform::Icon icon = platform::Icon::None, int defaultButton = 0);

class COperationJob {
public:
    virtual ~COperationJob();
    COperationJob(const COperationJob&) = delete;
    COperationJob& operator=(const COperationJob&) = delete;

    // A split or a rejoin job, as the request says.
    static std::unique_ptr<COperationJob> create(JobRequest request, platform::Prompts& prompts, JobEvents events);

    // Runs on the calling thread; 0 when the run completed.
    int run();
    // Runs on a worker thread; `waitFor` is true once it has ended, `join` waits for it.
    void start();
    bool waitFor(std::chrono::milliseconds timeout);
    void join();

    bool running() const { return running_; }
    bool completed() const { return end_ == JobEnd::Completed; }
    JobEnd end() const { return end_; }
    CJobControl& control() { return control_; }
    const JobRequest& request() const { return request_; }
    std::uint32_t chunkSize() const { return op_.chunkSize; }
    std::uint32_t chunkCount() const { return op_.chunkCount; }

protected:
    COperationJob(JobRequest request, platform::Prompts& prompts, JobEvents events);

    // Cancels a running job and waits for it; each derived destructor calls it first,
    // while the state the worker uses still exists.
    void StopAndJoin();

    // The work itself; returns 0 when completed.
    virtual int Execute() = 0;
    // What a failed or cancelled run leaves: open files closed, partial output removed.
    virtual void Abandon() = 0;

    enum class Step { Ok, Failed, Cancelled, DiskChange };

    // The state of the run.
    struct State {
        std::string sourceName;
        std::string splitFilesFolder;  // folder of the source
        std::uint32_t fileSize = 0;
        std::uint32_t chunkSize = kFloppyChunkSize;
        std::uint32_t chunkCount = 0;
        std::atomic<long> currentChunk{-1};
        bool mediaError = false;
        std::uint64_t freeBytes = 0;
    };

    platform::Answer Message(const std::string& text, const std::string& caption = {},
                             platform::Buttons buttons = platform::Buttons::Ok,
                             platform::Icon icon = platform::Icon::None, int defaultButton = 0);
    bool Checkpoint();  // true when the run is to stop
    void BeginBusy();
    void SetProgress(int pos, const std::string& label);
    void Finish(JobEnd end);

    // Removable media.
    bool GetFreeSpace(const std::string& path);
    void ReportWindowsError(int code);
    bool AskRetryOnDrive();

    JobRequest request_;
    platform::Prompts& prompts_;
    JobEvents events_;
    State op_;

private:
    void RunOnWorker();

    CJobControl control_;
    std::atomic<bool> running_{false};
    JobEnd end_ = JobEnd::Failed;
    bool finished_ = false;
    std::thread worker_;
    platform::Event completion_{platform::Event::Reset::Manual};
};

}  // namespace quarva::splitter
