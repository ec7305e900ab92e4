#pragma once
// Rejoining: rebuilds the source file from its split set, following the set across
// removable disks. The output is written beside its final name and takes that name
// only when it is complete.

#include <vector>

#include "splitter/OperationJob.h"

namespace quarva::splitter {

class CRejoinJob : public COperationJob {
public:
    CRejoinJob(JobRequest request, platform::Prompts& prompts, JobEvents events)
        : COperationJob(std::move(request), prompts, std::move(events)) {}
    ~CRejoinJob() override { StopAndJoin(); }

protected:
    int Execute() override;
    void Abandon() override { EndRejoinRun(); }

private:
    bool ReadSplitInfo(std::string* problem);
    bool MayWriteOutput();
    Step ReadChunkInto(std::vector<std::uint8_t>& buffer, const std::string& chunkPath);
    int EndRejoinRun();

    platform::AtomicFile output_;  // the rejoined file, beside its final name until it is complete
    RawFile chunk_;                // the chunk being read
    std::uint32_t storedCount_ = 0, storedSize_ = 0;
    std::string storedName_, chunkBasePath_, outputPath_;
    std::uint64_t totalWritten_ = 0;
    int retryStage_ = 0;
};

}  // namespace quarva::splitter
