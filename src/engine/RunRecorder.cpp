#include "engine/RunRecorder.h"

#include "platform/SysErrors.h"
#include "platform/ThreadPriority.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vantle {

namespace {

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool DiskFullError(const std::exception& error) {
    if (const auto* store = dynamic_cast<const ERunStore*>(&error))
        return store->Fault() == TRunStoreFault::Full;
    if (const auto* io = dynamic_cast<const EInOutError*>(&error))
        return io->ErrorCode() == ENOSPC || io->ErrorCode() == EDQUOT;
    return false;
}

} // namespace

struct TRunRecorder::TOp {
    enum TKind { Begin, SetProcess, Finish, Recover, Prune };
    TKind Kind = Begin;
    std::int64_t Key = 0;
    TStoredRun Run;
    TProcessIdentity Process;
    TRunEnd End;
    std::vector<TStoredRun> Started;
    std::size_t MaxRuns = 0;
    std::uint64_t MaxBytes = 0;
    // Finish: the output file is dealt with once, even when the record must wait.
    bool FilesDone = false;
    std::uint64_t Written = 0;
    bool Cut = false;
    bool HeadKept = false;
};

std::set<std::int64_t> TRunRecorder::KeysOf(const TOp& op) {
    std::set<std::int64_t> keys;
    if (op.Key != 0)
        keys.insert(op.Key);
    for (const TStoredRun& run : op.Started)
        keys.insert(run.Id);
    return keys;
}

TRunRecorder::TRunRecorder(const std::string& folder, const std::string& scheduleFile,
                           TRunRecorderOptions options)
    : FOptions(std::move(options)), FOutputs(folder, scheduleFile, true) {
    if (!FOptions.OpenStore) {
        FOptions.OpenStore = [folder, scheduleFile] {
            return std::make_unique<TRunStore>(folder, scheduleFile, TRunStoreMode::Writer);
        };
        // A store that does not exist yet is made here, so the views can open it at once:
        // nobody can hold a lock on it. One that exists is opened on the thread.
        struct stat st {};
        if (::lstat((folder + "/runs.sqlite").c_str(), &st) != 0 && errno == ENOENT) {
            try {
                FStore = FOptions.OpenStore();
            } catch (const std::exception&) {
                // The thread tries again, and tells.
            }
        }
    }
    FNewsFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FNewsFd < 0)
        RaiseInOutError(errno);
    // The thread takes no signal: SIGCHLD and the stop signals are read from descriptors
    // by the thread that blocked them, and a thread that did not would swallow them.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    FThread = std::thread([this] { Work(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

TRunRecorder::~TRunRecorder() {
    {
        std::lock_guard lock(FMutex);
        FStopAt = SteadyNs() + FOptions.StopGraceMs * 1'000'000;
    }
    FWake.notify_all();
    FThread.join();
    FStore.reset();
    ::close(FNewsFd);
}

std::int64_t TRunRecorder::NewKey() {
    if (FOptions.MakeKey)
        return Issued(FOptions.MakeKey());
    std::timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // Milliseconds of the wall clock, then the process id's low bits: keys of two
    // schedulers that share the store never meet, and each one's keys rise.
    const std::int64_t ms = std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
    std::int64_t key = ms * 65536 + (::getpid() & 0xFFFF);
    if (key <= FLastKey)
        key = FLastKey + 65536;
    FLastKey = key;
    return Issued(key);
}

std::int64_t TRunRecorder::Issued(std::int64_t key) {
    // Its output file may exist before its record: no prune may take it for a leftover.
    std::lock_guard lock(FMutex);
    FUnrecorded.insert(key);
    return key;
}

void TRunRecorder::Recorded(std::int64_t key) {
    std::lock_guard lock(FMutex);
    FUnrecorded.erase(key);
}

void TRunRecorder::Begin(const TStoredRun& run) {
    TOp op;
    op.Kind = TOp::Begin;
    op.Key = run.Id;
    op.Run = run;
    Push(std::move(op));
}

void TRunRecorder::SetProcess(std::int64_t key, const TProcessIdentity& process) {
    TOp op;
    op.Kind = TOp::SetProcess;
    op.Key = key;
    op.Process = process;
    Push(std::move(op));
}

void TRunRecorder::Finish(std::int64_t key, const TRunEnd& end) {
    TOp op;
    op.Kind = TOp::Finish;
    op.Key = key;
    op.End = end;
    Push(std::move(op));
}

void TRunRecorder::Recover(const std::vector<TStoredRun>& started) {
    TOp op;
    op.Kind = TOp::Recover;
    op.Started = started;
    Push(std::move(op));
}

void TRunRecorder::Prune(std::size_t maxRuns, std::uint64_t maxBytes) {
    TOp op;
    op.Kind = TOp::Prune;
    op.MaxRuns = maxRuns;
    op.MaxBytes = maxBytes;
    Push(std::move(op));
}

void TRunRecorder::Push(TOp op) {
    {
        std::lock_guard lock(FMutex);
        if (op.Kind == TOp::Prune)
            for (const TOp& queued : FQueue)
                if (queued.Kind == TOp::Prune)
                    return; // one prune keeps the store as small as two
        if (op.Key != 0 && FLostKeys.contains(op.Key))
            return; // its start was not recorded: neither is the rest
        if (FQueue.size() >= FOptions.QueueLimit && op.Kind != TOp::Recover) {
            if (op.Kind == TOp::Begin) {
                FLostKeys.insert(op.Key);
                ++FLostRuns;
            }
            return;
        }
        FQueue.push_back(std::move(op));
    }
    FWake.notify_one();
}

bool TRunRecorder::Stopping() const {
    return FStopAt.load() != 0;
}

void TRunRecorder::Work() {
    // Records may wait a moment; a program starting beside them may not.
    LowerCallingThreadPriority();
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return !FQueue.empty() || Stopping(); });
        if (FQueue.empty() || (Stopping() && SteadyNs() >= FStopAt.load()))
            break;
        TOp op = std::move(FQueue.front());
        FQueue.pop_front();
        FBusy = true;
        FWriting = KeysOf(op);
        lock.unlock();
        const bool written = Write(op);
        lock.lock();
        FBusy = false;
        FWriting.clear();
        if (written) {
            if (FQueue.empty()) {
                if (FNews.empty() || FNews.back().Kind != TRecorderNews::Written) {
                    FNews.push_back({TRecorderNews::Written, {}, {}});
                    const std::uint64_t one = 1;
                    (void)!::write(FNewsFd, &one, sizeof one);
                }
                FIdle.notify_all();
            }
            continue;
        }
        // Kept first, in order, and tried again later.
        FQueue.push_front(std::move(op));
        FIdle.notify_all();
        std::int64_t waitNs = FOptions.RetryMs * 1'000'000;
        if (Stopping())
            waitNs = std::min(waitNs, FStopAt.load() - SteadyNs());
        if (waitNs > 0)
            FWake.wait_for(lock, std::chrono::nanoseconds(waitNs),
                           [this] { return Stopping() && SteadyNs() >= FStopAt.load(); });
    }
    FIdle.notify_all();
}

bool TRunRecorder::Write(TOp& op) {
    try {
        if (!FStore)
            FStore = FOptions.OpenStore();
        switch (op.Kind) {
        case TOp::Begin:
            FStore->Begin(op.Run);
            Recorded(op.Key);
            break;
        case TOp::SetProcess:
            FStore->SetProcess(op.Key, op.Process);
            break;
        case TOp::Finish:
            if (op.End.HasOutput && !op.FilesDone) {
                op.Cut = op.End.OutputCut;
                try {
                    op.Written = HoldOutputToCap(FOutputs.Open(op.Key).Get(), op.End.OutputCap,
                                                 op.End.OutputOpen, op.Cut);
                    if (!op.End.OutputOpen) {
                        const TOutputCut cut = FOutputs.Cut(op.Key, op.End.OutputKeep, op.Written);
                        op.Cut = op.Cut || cut.Cut;
                        op.HeadKept = cut.HeadKept;
                    }
                } catch (const std::exception&) {
                    // The output stays as it is; the record is still closed.
                }
                op.FilesDone = true;
            }
            FStore->Finish(op.Key, op.End.Ended, op.End.DurationMs, op.End.Result, op.End.Failure,
                           op.Written, op.Cut, op.HeadKept);
            break;
        case TOp::Recover: {
            for (const TStoredRun& run : op.Started)
                FStore->Begin(run);
            std::vector<TStoredRun> running = FStore->CloseOrphans();
            if (!running.empty())
                Post({TRecorderNews::Inherited, {}, std::move(running)});
            break;
        }
        case TOp::Prune: {
            std::set<std::int64_t> unrecorded;
            {
                std::lock_guard lock(FMutex);
                unrecorded = FUnrecorded;
            }
            FStore->Prune(op.MaxRuns, op.MaxBytes, unrecorded);
            break;
        }
        }
    } catch (const ERunStore& e) {
        if (e.Fault() != TRunStoreFault::NoRun) {
            Trouble(e);
            return false;
        }
        // A run the store never had (its start was lost): nothing to change.
    } catch (const std::exception& e) {
        Trouble(e);
        return false;
    }
    if (FTroubleSince != 0) {
        FTroubleSince = 0;
        if (FTroubleTold)
            Post({TRecorderNews::Recovered, "Runs are recorded again", {}});
        FTroubleTold = false;
        FFullTold = false;
        std::size_t lost = 0;
        {
            std::lock_guard lock(FMutex);
            lost = std::exchange(FLostRuns, 0);
        }
        if (lost > 0)
            Post({TRecorderNews::Lost,
                  std::to_string(lost) + (lost == 1 ? " run was" : " runs were") +
                      " not recorded: too many waited for the store (the log has them)",
                  {}});
    }
    return true;
}

void TRunRecorder::Trouble(const std::exception& error) {
    // A store that cannot be written is dropped, and opened afresh at the next try.
    if (dynamic_cast<const ERunStore*>(&error) == nullptr ||
        static_cast<const ERunStore&>(error).Fault() != TRunStoreFault::Busy)
        FStore.reset();
    const std::int64_t now = SteadyNs();
    if (FTroubleSince == 0)
        FTroubleSince = now;
    if (DiskFullError(error) && !FFullTold) {
        FFullTold = true;
        Post({TRecorderNews::DiskFull,
              "The disk of the run records is full: " + DescribeError(error),
              {}});
    }
    if (!FTroubleTold && now - FTroubleSince >= FOptions.ReportAfterMs * 1'000'000) {
        FTroubleTold = true;
        Post(
            {TRecorderNews::Failing, "Runs are not recorded for now: " + DescribeError(error), {}});
    }
}

void TRunRecorder::Post(TRecorderNews news) {
    {
        std::lock_guard lock(FMutex);
        FNews.push_back(std::move(news));
    }
    const std::uint64_t one = 1;
    (void)!::write(FNewsFd, &one, sizeof one);
}

std::vector<TRecorderNews> TRunRecorder::TakeNews() {
    std::uint64_t count = 0;
    (void)!::read(FNewsFd, &count, sizeof count);
    std::lock_guard lock(FMutex);
    return std::exchange(FNews, {});
}

std::set<std::int64_t> TRunRecorder::PendingKeys() const {
    std::lock_guard lock(FMutex);
    std::set<std::int64_t> keys = FWriting;
    for (const TOp& op : FQueue)
        keys.merge(KeysOf(op));
    return keys;
}

bool TRunRecorder::Flush(std::int64_t ms) {
    std::unique_lock lock(FMutex);
    return FIdle.wait_for(lock, std::chrono::milliseconds(ms),
                          [this] { return FQueue.empty() && !FBusy; });
}

} // namespace vantle
