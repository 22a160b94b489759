#include "cmfstatements.h"

#include "suiterun.h"

namespace vdln::suite {

std::string statementText(const CmfStatement& st) {
    std::string s;
    for (const auto& t : st.tokens) s += (s.empty() ? "" : " ") + t;
    return s + " ;";
}

std::vector<std::string> tokenizeCmfLine(const std::string& rawLine) {
    const std::string line = removeCmfComments(rawLine);
    std::vector<std::string> tokens;
    int pos = 1;
    while (true) {
        int start = 0, next = 0;
        std::string tok = cmfToken(line, pos, start, next);
        if (tok.empty()) break;
        tokens.push_back(tok);
        if (next <= pos) break;
        pos = next;
    }
    return tokens;
}

Result<std::vector<CmfStatement>> readCmfStatements(const std::string& path) {
    auto found = existingInput(path, "Command file");
    if (!found) return found.status();
    TOpenCMFFile cmf;
    if (Status s = cmf.OpenCMF(found.value()); !s)
        return Result<std::vector<CmfStatement>>::fail("Cannot read command file " + path + ": " +
                                                       s.message());
    std::vector<CmfStatement> out;
    CmfStatement st;
    while (cmf.ReadStatement(st)) {
        if (!st.terminated) {
            cmf.CloseCMF();
            return Result<std::vector<CmfStatement>>::fail(
                "The statement \"" + statementText(st).substr(0, 60) + "\" starting at line " +
                std::to_string(st.line) + " of " + path + " does not end with \";\".");
        }
        out.push_back(st);
    }
    cmf.CloseCMF();
    return out;
}

}  // namespace vdln::suite
