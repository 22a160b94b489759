#include "jobs/jobslog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/textfile.h"

namespace vdln {

Status appendToLog(const std::string& logPath, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    const int fd = ::open(logPath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return Status::ok();
        return Status::fail("Cannot open file " + logPath + ": " + std::strerror(errno)).tag("[TxtAppend]");
    }
    int r;
    do {
        r = ::flock(fd, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0;
    Status result = Status::ok();
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            result =
                Status::fail("Cannot write file " + logPath + ": " + std::strerror(n < 0 ? errno : ENOSPC))
                    .tag("[TxtAppend]");
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (!result && done > 0 && sized && ::ftruncate(fd, st.st_size) != 0)
        result = Status::fail(result.message() + "; the log may end with a partial line");
    if (r == 0) ::flock(fd, LOCK_UN);
    if (::close(fd) != 0 && result)
        result = Status::fail("Cannot close file " + logPath + ": " + std::strerror(errno));
    return result;
}

std::string slotDescription(const TOneDosJob& slot, const DescribeContext& ctx) {
    if (!slot.InUse) return "[Not running]";
    std::string text = runName(slot.Run) + ": ";
    auto yearPart = [&] {
        return std::string(" year ") + std::to_string(ctx.year ? ctx.year(slot.Year) : slot.Year) + " (" +
               (ctx.usesPeriods ? "period" : "year") + " number " + std::to_string(slot.Year) + ")";
    };
    if (slot.JobName == JobKind::Sim)
        return text + (slot.JobPart == PartKind::Sol ? "Sol job for" : "sim for") + yearPart();
    if (slot.JobName == JobKind::Bot) return text + "Preparing closure for" + yearPart();
    return text + "Assembling the spreadsheets";
}

std::string partNote(const TOneDosJob& slot) {
    return " [" + std::string(text(slot.JobPart)) + " part of job " + std::string(text(slot.JobName)) + "]";
}

std::string logDateTime(const std::tm& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::string logTimeOfDay(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::vector<std::string> jobStartLines(const std::tm& now, int firstSlot, int lastSlot) {
    std::vector<std::string> lines{" ", "BEGINNING A JOB at " + logDateTime(now)};
    if (firstSlot == 1 && lastSlot == 2) lines.push_back("  [Allowing two concurrent jobs.]");
    if (firstSlot == 1 && lastSlot == 1) lines.push_back("  [Allowing just one job (job number 1).]");
    if (firstSlot == 2 && lastSlot == 2) lines.push_back("  [Allowing just one job (job number 2).]");
    return lines;
}

std::vector<std::string> jobEndedLines(const std::tm& now, bool cancelled, const std::string& reason) {
    std::string line = std::string(cancelled ? "JOB CANCELLED at " : "JOB FAILED at ") + logDateTime(now);
    if (!reason.empty()) line += " [" + reason + "]";
    return {line};
}

std::vector<std::string> partStartLines(const TOneDosJob& slot, const DescribeContext& ctx,
                                        const std::tm& now) {
    const JobKind n = slot.JobName;
    const PartKind p = slot.JobPart;
    const bool begins = n == JobKind::Sim || (n == JobKind::Bot && p == PartKind::Env) ||
                        (n == JobKind::Csv && p == PartKind::Csv) ||
                        (n == JobKind::Aggrex && p == PartKind::Yony);
    if (!begins) return {};
    return {"START " + slotDescription(slot, ctx) + " " + logTimeOfDay(now)};
}

bool partGetsEndLine(const TOneDosJob& slot, bool stageCompleted, bool useSOLFilesForShocks) {
    const JobKind n = slot.JobName;
    const PartKind p = slot.JobPart;
    if (n == JobKind::Sim) return true;
    if (n == JobKind::Bot) return p == lastBotPart(useSOLFilesForShocks);
    if (n == JobKind::Csv || n == JobKind::SsSol) return true;
    if (n == JobKind::Aggrex || n == JobKind::Cumsol)
        return stageCompleted && (slot.Run == 1 || slot.Run == 2);
    if (isDeviationStep(n)) return p == PartKind::Cum;
    return false;
}

std::string partEndLine(const TOneDosJob& slot, const DescribeContext& ctx, const std::tm& now) {
    return "END " + slotDescription(slot, ctx) + " " + logTimeOfDay(now);
}

std::string partErrorLine(const TOneDosJob& slot, const DescribeContext& ctx, const std::tm& now) {
    std::string line = "ERROR " + slotDescription(slot, ctx);
    if (slot.JobPart != PartKind::None && slot.JobName != JobKind::Sim) line += partNote(slot);
    return line + " " + logTimeOfDay(now);
}

std::vector<std::string> jobFinishedLines(const std::tm& now, const std::string& elapsed) {
    return {"WHOLE JOB FINISHED OK at " + logDateTime(now), " [Total elapsed time is: " + elapsed + "]"};
}

std::string elapsedText(double seconds) {
    if (seconds < 0) seconds = 0;
    long long total = static_cast<long long>(seconds);
    long long h = total / 3600, m = (total % 3600) / 60, s = total % 60;
    std::string t;
    if (h >= 1) t += std::to_string(h) + " hours, ";
    if (h >= 1 || m >= 1) t += std::to_string(m) + " minutes, ";
    return t + std::to_string(s) + " seconds";
}

StatusLines statusLines(const TBigJobDetails& job, int maxConcurrent, const DescribeContext& ctx,
                        const SingleThenConcurrentNote& pass, bool doingRE, const PerRun<int>& currentIter) {
    StatusLines st;
    st.heading = "Running jobs:";
    if (pass.active)
        st.heading += " [pass number " + std::to_string(pass.pass) +
                      (pass.concurrent ? ", Concurrent jobs" : ", Single job") + "]";
    for (int s = std::max(1, job.FirstSlot); s <= std::min(3, maxConcurrent); ++s) {
        const TOneDosJob& j = job.Jobs[s];
        if (!j.InUse) continue;
        std::string line = "  " + slotDescription(j, ctx);
        if (j.JobPart != PartKind::None) line += partNote(j);
        if (doingRE && j.Run >= 1 && j.Run <= 3) line += " [Iter " + std::to_string(currentIter[j.Run]) + "]";
        st.lines.push_back(line);
        st.runs.push_back(j.Run);
    }
    return st;
}

BottomPanel bottomPanel(PanelPhase phase, const StatusLines& status, bool noRerun) {
    BottomPanel p;
    switch (phase) {
        case PanelPhase::Idle:
        case PanelPhase::Finished:
            // Leaving "job running": the labels and the Cancel panel go, the run
            // panels come back.  A finished job's last words stay in the first
            // label's text.
            p.jobRunning = false;
            p.rerunPanel = !noRerun;
            p.visible = {false, false, false};
            if (phase == PanelPhase::Finished) p.labels = {"[Job finished] ", "", ""};
            return p;
        case PanelPhase::StartingJob:
            p.jobRunning = true;
            p.rerunPanel = false;
            p.labels[0] = "[None running yet] ";
            return p;
        case PanelPhase::Running:
            break;
    }
    p.jobRunning = true;
    p.rerunPanel = false;
    if (status.lines.empty()) return p;  // "[None running.]" in the default colour
    for (size_t k = 0; k < 3; ++k) {
        p.visible[k] = k < status.lines.size();
        if (!p.visible[k]) continue;
        p.labels[k] = status.lines[k];
        p.runs[k] = k < status.runs.size() ? status.runs[k] : 0;
    }
    return p;
}

std::vector<std::string> jobStatusOverview(const TBigJobDetails& job, const PlanContext& ctx,
                                           bool usesPeriods) {
    if (!job.Running) return {"Nothing is running."};
    std::vector<std::string> out;
    for (int r = 1; r <= 3; ++r) {
        bool ss = job.DoSS[r];
        if (!job.DoSims[r] && !ss) continue;
        out.push_back(runName(r) + ":");
        if (job.DoSims[r]) {
            out.push_back("  Do simulations for years " + std::to_string(ctx.year(job.FirstSimYear[r])) +
                          " to " + std::to_string(ctx.year(job.LastSimYear[r])));
            int last = job.LastDoneYear[r];
            if (last >= job.FirstSimYear[r])
                out.push_back("  Last simulation done is that for " + std::to_string(ctx.year(last)) + " [" +
                              (usesPeriods ? "period" : "year") + " number " + std::to_string(last) + "]");
            else
                out.push_back("  [No sims completed yet.]");
        }
        if (ss) {
            const JobKind st = job.SSStageDone[r];
            bool done = isAccumulationStep(st);
            if (r == 3 && job.DoDeviations) done = isDeviationStep(st);
            out.push_back("  Do spreadsheets for years " + std::to_string(ctx.year(job.FirstSSYear[r])) +
                          " to " + std::to_string(ctx.year(job.LastSSYear[r])) +
                          (done ? "  [Done.]" : "  [Not yet done.]"));
        }
    }
    return out;
}

}  // namespace vdln
