#pragma once
// Builds simulation logs holding accuracy summaries, in the form the model
// program writes them, for the accuracy-summary tests.
#include <array>
#include <string>

namespace vdln::testing {

using Counts = std::array<int, 7>;

class AccLogBuilder {
public:
    AccLogBuilder& line(const std::string& s) {
        m_text += s + m_eol;
        return *this;
    }
    /// Lines "<count> results are judged accurate to <f> figures." for
    /// f = 0..6, then a blank line.
    AccLogBuilder& block(const Counts& c) {
        for (int f = 0; f <= 6; ++f)
            line("   " + std::to_string(c[static_cast<size_t>(f)]) + " results are judged accurate to " +
                 std::to_string(f) + " figures.");
        return line("");
    }
    AccLogBuilder& variables(const Counts& c) {
        line(" Below are for levels values of percent-change and change results.");
        return block(c);
    }
    AccLogBuilder& overallVariables(const Counts& c) {
        line(" ACCURACY SUMMARY FOR OVERALL RESULTS");
        line(" Below are for overall levels values of percent-change and change results.");
        return block(c);
    }
    AccLogBuilder& dataOneFile(const Counts& c, const std::string& logical = "BASEDATA") {
        line(" NEXT SUMMARY IS FOR UPDATED DATA FROM LOGICAL FILE " + logical);
        return block(c);
    }
    AccLogBuilder& dataAll(const Counts& c) {
        line(" NEXT SUMMARY IS FOR ALL UPDATED DATA");
        return block(c);
    }
    AccLogBuilder& notSufficient(int subinterval) {
        return line(" Accuracy for subinterval " + std::to_string(subinterval) +
                    " not sufficient - accuracy was 62 percent.");
    }
    AccLogBuilder& crlf() {
        m_eol = "\r\n";
        return *this;
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
    std::string m_eol = "\n";
};

}  // namespace vdln::testing
