#include "session/receivepipeline.h"

#include <utility>

void CReceivePipeline::Add(std::string name, Stage stage)
{
    m_stages.push_back({std::move(name), std::move(stage)});
}

void CReceivePipeline::Run(CCommData &block, int64_t ageMs) const
{
    for (const ST_Stage &stage : m_stages)
        stage.Run(block, ageMs);
}

std::vector<std::string> CReceivePipeline::Names() const
{
    std::vector<std::string> names;
    names.reserve(m_stages.size());
    for (const ST_Stage &stage : m_stages)
        names.push_back(stage.Name);
    return names;
}
