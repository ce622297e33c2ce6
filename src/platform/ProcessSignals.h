// Signals to the programs the scheduler started, behind a seam: tests see what would be
// sent without sending it.
#pragma once

namespace vantle {

class TProcessSignals {
public:
    virtual ~TProcessSignals() = default;
    /// To the program's whole process group (a started program leads a session of its
    /// own, helpers included), or to the program alone when it leads none. False when
    /// neither could be signalled.
    virtual bool SignalProgram(int pid, int signal) = 0;
};

class TPosixProcessSignals final : public TProcessSignals {
public:
    bool SignalProgram(int pid, int signal) override;
};

} // namespace vantle
