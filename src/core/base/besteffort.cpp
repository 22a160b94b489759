#include "base/besteffort.h"

#include <cstdio>

namespace vdln {

namespace {
// The innermost active log of this thread (null: standard error).
thread_local ScopedBestEffortLog* t_log = nullptr;
thread_local std::function<void(const std::string&)>* t_sink = nullptr;
}  // namespace

void logBestEffortFailure(std::string_view why, std::string_view message) {
    // One log line: line breaks inside the message become blanks.
    std::string line(why);
    line += ": ";
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
            line += ' ';
            ++i;
        } else {
            line += message[i];
        }
    }
    if (t_sink && *t_sink) {
        (*t_sink)(line);
        return;
    }
    std::fprintf(stderr, "vardelon: (not needed) %s\n", line.c_str());
}

ScopedBestEffortLog::ScopedBestEffortLog(std::function<void(const std::string&)> sink)
    : m_sink(std::move(sink)), m_previous(t_log) {
    t_log = this;
    t_sink = &m_sink;
}

ScopedBestEffortLog::~ScopedBestEffortLog() {
    t_log = m_previous;
    t_sink = m_previous ? &m_previous->m_sink : nullptr;
}

}  // namespace vdln
