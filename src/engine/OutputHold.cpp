#include "engine/OutputHold.h"

#include "platform/ProcessIdentity.h"

namespace vantle {

TOutputHold::TOutputHold(const TClock& clock, TRunRecorder* recorder, std::uint64_t cap,
                         std::uint64_t keep)
    : FClock(clock), FRecorder(recorder), FCap(cap), FKeep(keep) {}

void TOutputHold::Follow(std::int64_t record, TOwnFd output) {
    if (FRecorder != nullptr && record != 0)
        FFollowed[record].Output = std::move(output);
}

void TOutputHold::FollowAgain(std::int64_t record) {
    if (FRecorder == nullptr)
        return;
    try {
        Follow(record, FRecorder->Outputs().Open(record));
    } catch (const std::exception&) {
        // Followed all the same; its output is not held to the cap.
    }
}

void TOutputHold::Close(std::int64_t record, int session, TRunEnd end) {
    if (FRecorder == nullptr || record == 0)
        return;
    TFollowed followed;
    if (auto found = FFollowed.find(record); found != FFollowed.end()) {
        followed = std::move(found->second);
        FFollowed.erase(found);
    }
    end.HasOutput = true;
    end.OutputCut = followed.Cut;
    end.OutputCap = FCap;
    end.OutputKeep = FKeep;
    if (followed.Output.Get() >= 0 && SessionHasProcesses(session)) {
        end.OutputOpen = true;
        FRecorder->Finish(record, end);
        end.OutputOpen = false;
        FLingering.push_back({record, session, std::move(followed.Output), end});
    } else {
        FRecorder->Finish(record, end);
    }
}

void TOutputHold::CloseAll() {
    if (FRecorder != nullptr)
        for (TLingering& lingering : FLingering)
            FRecorder->Finish(lingering.Record, lingering.End);
    FLingering.clear();
}

void TOutputHold::Hold() {
    if (FClock.RunNanos() < FNextNs || !Holds())
        return;
    FNextNs = FClock.RunNanos() + OutputCapCheckNs;
    for (auto& [record, followed] : FFollowed) {
        try {
            if (followed.Output.Get() >= 0 && DropOutputPast(followed.Output.Get(), FCap) > FCap)
                followed.Cut = true;
        } catch (const std::exception&) {
            // Looked at again within a second.
        }
    }
    for (auto lingering = FLingering.begin(); lingering != FLingering.end();) {
        try {
            if (DropOutputPast(lingering->Output.Get(), FCap) > FCap)
                lingering->End.OutputCut = true;
        } catch (const std::exception&) {
            // As above.
        }
        if (SessionHasProcesses(lingering->Session)) {
            ++lingering;
            continue;
        }
        FRecorder->Finish(lingering->Record, lingering->End);
        lingering = FLingering.erase(lingering);
    }
}

bool TOutputHold::Holds() const {
    if (!FLingering.empty())
        return true;
    for (const auto& [record, followed] : FFollowed)
        if (followed.Output.Get() >= 0)
            return true;
    return false;
}

std::optional<std::int64_t> TOutputHold::Next() const {
    return Holds() ? std::optional(FNextNs) : std::nullopt;
}

} // namespace vantle
