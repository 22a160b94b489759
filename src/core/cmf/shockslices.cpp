#include "cmf/shockslices.h"

#include "base/besteffort.h"
#include "base/strutil.h"
#include "cmf/cmfreader.h"

namespace vdln {

std::string cleanCopiedLine(std::string_view line) {
    std::string out(line);
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 33 || u > 126) c = ' ';
    }
    return out;
}

std::string ShockSlicer::process(std::string_view sourceLine) {
    std::string line = cleanCopiedLine(sourceLine);
    int start = 1, next = 1;
    const std::string first = cmfToken(line, 1, start, next);
    const bool comment = first.empty() || first == "!" || (first[0] == '!' && first[1] != '!');
    if (comment) return line;

    bool startedHere = false;
    if (!m_open) {
        startedHere = true;
        m_sliced = false;
        m_prefix.clear();
        int wStart = 1, wNext = 1;
        const std::string w = cmfWord(line, next, wNext, &wStart);
        if (w.size() > 5 && w.back() == '>') {
            if (istartsWith(w, "<year=")) {
                std::string prefix = w.substr(6, w.size() - 7);
                if (!prefix.empty()) {
                    m_sliced = true;
                    m_prefix = std::move(prefix);
                }
            } else if (iequals(w, "<year>")) {
                m_sliced = true;
                m_prefix = "Y";
            }
        }
        if (m_sliced) {
            // The line becomes: up to the end of the first token, one blank,
            // then what followed the year word.
            const size_t firstEnd = static_cast<size_t>(next - 1);
            const size_t after = static_cast<size_t>(wNext - 1);
            line = line.substr(0, firstEnd) + " " + line.substr(after);
        }
    }

    // The statement ends at the first ";" before the line's comment.
    const size_t commentAt = cmfCommentStart(line);
    const std::string_view code(line.data(), commentAt);
    int pos = 1;
    bool ended = false;
    int semicolonAt = 0;
    for (;;) {
        int tStart = 1, tNext = 1;
        const std::string t = cmfToken(code, pos, tStart, tNext);
        if (t.empty()) break;
        if (t == ";") {
            ended = true;
            semicolonAt = tStart;
            break;
        }
        pos = tNext;
    }
    if (ended) {
        if (m_sliced)
            line.insert(static_cast<size_t>(semicolonAt - 1), " slice \"" + m_prefix + m_year + "\" ");
        m_open = false;
        m_sliced = false;
    } else if (startedHere) {
        m_open = true;
    }
    return line;
}

std::vector<std::string> sliceShockLines(const std::vector<std::string>& lines, const std::string& yearText) {
    ShockSlicer slicer(yearText);
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& l : lines) out.push_back(slicer.process(l));
    return out;
}

Status AppendShocks(TxtFile& out, const std::string& sourceFile, int year) {
    TxtFile in;
    if (Status s = TxtOpen(in, sourceFile); !s) return std::move(s).tag(" [AppendShocks]");
    ShockSlicer slicer(std::to_string(year));
    std::string line;
    while (in.readLine(line)) {
        if (Status s = out.writeLine(slicer.process(line)); !s) return std::move(s).tag(" [AppendShocks]");
    }
    if (in.failed()) return Status::fail("read error from file " + sourceFile).tag(" [AppendShocks]");
    bestEffort(TxtClose(in), "the file was only read");
    return Status::ok();
}

}  // namespace vdln
