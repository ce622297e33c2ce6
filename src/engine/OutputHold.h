// What the programs of running runs write, held to its cap while they write: a cap
// checked once a minute let a fast writer fill the disk first. A run's output is held
// from its start until its program has ended, and on while processes the program left in
// its session write; then the recorder cuts it to what is kept.
#pragma once

#include "engine/RunRecorder.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace vantle {

/// How often what running programs write is held to the output cap.
constexpr std::int64_t OutputCapCheckNs = 1'000'000'000;

class TOutputHold {
public:
    /// Without a recorder nothing is held. The pointers must outlive this.
    TOutputHold(const TClock& clock, TRunRecorder* recorder, std::uint64_t cap, std::uint64_t keep);
    TOutputHold(const TOutputHold&) = delete;
    TOutputHold& operator=(const TOutputHold&) = delete;

    /// Holds the run's output, from its file descriptor (none: nothing to hold).
    void Follow(std::int64_t record, TOwnFd output);
    /// Holds the output of a run an earlier scheduler started, opened again.
    void FollowAgain(std::int64_t record);
    /// The run's program has ended: the recorder closes the record with `end` and what
    /// the output holds. While processes of the program's session (`session`) still
    /// write, the record is closed at once and the output held until they have ended.
    void Close(std::int64_t record, int session, TRunEnd end);
    /// At the scheduler's end: the outputs of sessions that outlive it are cut now.
    void CloseAll();

    /// Releases what is past the cap, at most once a second.
    void Hold();
    /// The CLOCK_MONOTONIC moment at which Hold has work next; nullopt while no output
    /// may grow.
    std::optional<std::int64_t> Next() const;

private:
    struct TFollowed {
        TOwnFd Output{-1};
        bool Cut = false; // its program wrote past the cap
    };
    /// A run that has ended while processes of its session go on writing its output.
    struct TLingering {
        std::int64_t Record = 0;
        int Session = 0;
        TOwnFd Output{-1};
        TRunEnd End; // as recorded; the output is cut once the session has ended
    };
    bool Holds() const;

    const TClock& FClock;
    TRunRecorder* FRecorder;
    std::uint64_t FCap, FKeep;
    std::map<std::int64_t, TFollowed> FFollowed;
    std::vector<TLingering> FLingering;
    std::int64_t FNextNs = 0; // CLOCK_MONOTONIC: the next look
};

} // namespace vantle
