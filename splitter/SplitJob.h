#pragma once
// Splitting: cuts the source into numbered chunks beside an information file, asking
// for the next disk when a removable destination is full. A run that does not complete
// leaves no incomplete set behind.

#include <vector>

#include "splitter/OperationJob.h"

namespace quarva::splitter {

class CSplitJob : public COperationJob {
public:
    CSplitJob(JobRequest request, platform::Prompts& prompts, JobEvents events)
        : COperationJob(std::move(request), prompts, std::move(events)) {}
    ~CSplitJob() override;

protected:
    int Execute() override;
    void Abandon() override { EndSplitRun(true); }

private:
    // Sets the chunk size from the custom-size text; false (message shown) when refused,
    // or quietly when the text is empty.
    bool TakeCustomSize();
    Step WriteSplitBlock(const std::uint8_t* data, std::size_t size, const std::string& chunkPath);
    int EndSplitRun(bool removeOutput);
    void RemoveSplitOutput();
    void ForgetSplitTemporaries();

    RawFile infoFile_;
    RawFile dataFile_;          // the source
    RawFile chunk_;             // the chunk being written
    bool infoCreated_ = false;  // this run created the information file
    // The information file and the chunk being written, on the process's interrupt list
    // while the set is incomplete (a second Ctrl-C ends the program at once).
    int infoSlot_ = -1, chunkSlot_ = -1;
};

}  // namespace quarva::splitter
