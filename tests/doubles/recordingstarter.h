#pragma once
// A program starter that records what it would have started, and can be
// told to fail with the reason the system would give.
#include <string>
#include <utility>
#include <vector>

#include "env/tools.h"

namespace vdln {

class RecordingStarter : public ProgramStarter {
public:
    struct Call {
        std::string program;
        std::vector<std::string> args;
        std::string dir;
    };
    explicit RecordingStarter(std::string failureReason = "No such file or directory")
        : m_reason(std::move(failureReason)) {}
    Status startProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& dir) override {
        calls.push_back({program, args, dir});
        return fail ? Status::fail(m_reason) : Status::ok();
    }
    std::vector<Call> calls;
    bool fail = false;  ///< every start fails while set

private:
    std::string m_reason;
};

}  // namespace vdln
