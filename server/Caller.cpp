#include "server/Caller.h"

const std::string& Caller::Who() const
{
    return operatorName.empty() ? peer : operatorName;
}

bool Caller::MayTouch(const std::string& branch) const
{
    return allBranches || branches.count(branch) != 0;
}
