#pragma once
// What happens to a received block on the owner thread, as an ordered list of stages. The order is
// part of the behaviour (a checksum mark must exist before the block's log line is written; the
// received list takes the block itself, so it comes after everything that reads it), so it is
// written once, where the window builds the list, and every new consumer of received data is one
// more stage instead of an edit of the receive path.
#include "data/commdata.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CReceivePipeline
{
public:
    // A stage may read the block; only the last may take its bytes (move from it). `ageMs` is how
    // long ago the port handed the block over.
    using Stage = std::function<void(CCommData &block, int64_t ageMs)>;

    // Appends a stage; `name` says what it is for, in tests and in the diagnostic view of the order.
    void Add(std::string name, Stage stage);
    void Run(CCommData &block, int64_t ageMs) const;
    std::vector<std::string> Names() const;

private:
    struct ST_Stage
    {
        std::string Name;
        Stage Run;
    };
    std::vector<ST_Stage> m_stages;
};
