// libFuzzer target over the command-file reader: the tokenizer, statements,
// the file table, keyword normalisation, the Control-Z check, the list of
// referred files and the year-slice copying of shock files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/textfile.h"
#include "cmf/cmfreader.h"
#include "cmf/shockslices.h"

using namespace vdln;

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = splitLines(text);

    TOpenCMFFile cmf;
    cmf.OpenCMFLines(lines);
    check(cmf.Files.Count() <= TFileXFileCMFFile::kMaxGroups);
    for (const auto& g : cmf.Files.Groups) check(g.Kind == 'f' || g.Kind == 'x' || g.Kind == 'b');

    while (cmf.NextStatement()) {
        check(!cmf.Keyword.empty());
        const std::string kw = NormaliseKeyword(cmf.Keyword);
        check(kw.size() <= cmf.Keyword.size() + 16);
        check(cmf.TokenStart >= 1 && cmf.NextPos >= cmf.TokenStart);
        check(static_cast<size_t>(cmf.NextPos) <= cmf.Line.size() + 1);
    }

    (void)cmf.Rewind();
    CmfStatement st;
    size_t statements = 0;
    while (cmf.ReadStatement(st)) {
        check(!st.tokens.empty());
        for (const auto& t : st.tokens) check(!t.empty() && t != ";");
        if (++statements > size + 1) std::abort();  // each statement uses input
    }

    (void)cmf.Rewind();
    (void)cmf.CheckControlZ("in fuzz input");
    (void)referredFiles(cmf);

    const std::vector<std::string> sliced = sliceShockLines(lines, "2005");
    check(sliced.size() == lines.size());
    for (const auto& l : sliced)
        for (char c : l) check(static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) <= 126);

    // Words and tokens from every position of the first line.
    if (!lines.empty()) {
        const std::string& l = lines.front();
        for (int pos = -1; pos <= static_cast<int>(l.size()) + 2 && pos < 300; ++pos) {
            int start = 0, next = 0;
            const std::string t = cmfToken(l, pos, start, next);
            check(next >= 1 && static_cast<size_t>(next) <= l.size() + 1);
            check(t.size() <= l.size());
            (void)cmfWord(l, pos, next, &start);
            check(next >= 1 && static_cast<size_t>(next) <= l.size() + 1);
        }
        (void)removeCmfComments(l);
        check(cmfCommentStart(l) <= l.size());
    }
    return 0;
}
