#include "transfer/FailureRule.h"

namespace
{
constexpr int tooManyConnections = 421;
} // namespace

NextStep nextStepAfter(const Failure& failure)
{
    using Kind = Failure::Kind;
    switch (failure.kind) {
    case Kind::FileStopped:
        return NextStep::Ask;
    case Kind::FileIncomplete:
        return NextStep::FailFile;
    case Kind::DigestMismatch:
        return failure.fromOtherSources ? NextStep::RefetchFromOwnServer : NextStep::FailFile;
    case Kind::PartEnded:
        if (failure.stopping || failure.paused || failure.failures >= failure.failuresAllowed)
            return NextStep::Rest;
        return NextStep::SameSource;
    case Kind::RequestFailed:
    case Kind::Stalled:
        break;
    }
    if (failure.replyCode == tooManyConnections)
        return NextStep::Withdraw;
    if (failure.stopping || failure.failures >= failure.failuresAllowed)
        return NextStep::Rest;
    return NextStep::NextSource;
}
