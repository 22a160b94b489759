#include "base/besteffort.h"

#include <cstdio>

namespace vdln {

namespace {
// The innermost active log of this thread (null: standard error).
thread_local ScopedBestEffortLog* t_log = nullptr;
thread_local std::function<void(const std::string&)>* t_sink = nullptr;
}  // namespace

void logBestEffortFailure(std::string_view why, std::string_view message) {
    std::string line(why);
    line += ": ";
    line += message;
    for (size_t p; (p = line.find("\r\n")) != std::string::npos;) line.replace(p, 2, " ");
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
