#include "formats/harslice.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "base/strutil.h"

namespace vdln {

namespace {

std::string str(std::int64_t v) {
    return std::to_string(v);
}

// The dimensions a slice is taken over: an "RE" header's own, a "2I"
// matrix's rows and columns, a "1C" header's strings.
int sliceDims(const HarHeader& h, Dims7& dims) {
    dims = {1, 1, 1, 1, 1, 1, 1};
    if (h.HeadType == "2I") {
        dims[0] = h.rows;
        dims[1] = h.cols;
        return 2;
    }
    if (h.HeadType == "1C") {
        dims[0] = h.stringCount;
        return 1;
    }
    dims = h.dims;
    return std::max(0, std::min(h.NDim, 7));
}

bool isNumber(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

HarSliceChoice defaultSliceChoice(const HarHeader& h) {
    Dims7 dims;
    const int nd = sliceDims(h, dims);
    HarSliceChoice choice;
    choice.rowDim = nd >= 1 ? 1 : 0;
    choice.colDim = nd >= 2 ? 2 : 0;
    return choice;
}

Status checkSliceChoice(const HarHeader& h, const HarSliceChoice& choice) {
    Dims7 dims;
    const int nd = sliceDims(h, dims);
    if (choice.rowDim < 0 || choice.rowDim > nd || (choice.rowDim == 0 && nd >= 1))
        return Status::fail("Row dimension " + str(choice.rowDim) + " is not a dimension of the header");
    if (choice.colDim < 0 || choice.colDim > nd || (choice.colDim == 0 && nd >= 2))
        return Status::fail("Column dimension " + str(choice.colDim) + " is not a dimension of the header");
    if (choice.rowDim != 0 && choice.rowDim == choice.colDim)
        return Status::fail("The row and column dimensions must differ");
    for (int k = 1; k <= nd; ++k) {
        if (k == choice.rowDim || k == choice.colDim) continue;
        const std::int64_t e = choice.fixed[k - 1];
        if (e < 1 || e > dims[k - 1])
            return Status::fail("Element " + str(e) + " of dimension " + str(k) + " is outside 1.." +
                                str(dims[k - 1]));
    }
    return Status::ok();
}

std::vector<std::string> dimensionLabels(const HarHeader& h, int k) {
    Dims7 dims;
    const int nd = sliceDims(h, dims);
    if (k < 1 || k > nd) return {};
    const std::int64_t n = dims[k - 1];
    if (h.HeadType == "RE") {
        auto names = h.elementNames(k);
        if (static_cast<std::int64_t>(names.size()) == n) return names;
    }
    // Numbers are made when asked for: a dimension of millions of unnamed
    // elements (or one beside a dimension of size 0) costs nothing here.
    return {};
}

std::string dimensionLabel(const std::vector<std::string>& names, std::int64_t i) {
    if (i >= 1 && i <= static_cast<std::int64_t>(names.size())) return names[static_cast<std::size_t>(i - 1)];
    return str(i);
}

std::string HarSlice::rowLabel(std::int64_t r) const {
    return dimensionLabel(rowLabels, r + 1);
}
std::string HarSlice::colLabel(std::int64_t c) const {
    return dimensionLabel(colLabels, c + 1);
}

HarSlice emptySlice(const HarHeader& h, const HarSliceChoice& choice) {
    HarSlice s;
    s.headerName = h.trimmedName();
    s.headType = h.HeadType;
    auto title = [&](int k) { return h.HeadType == "RE" && k >= 1 ? h.dimLabels[k - 1] : std::string(); };
    Dims7 dims;
    sliceDims(h, dims);
    if (choice.rowDim >= 1) {
        s.rowLabels = dimensionLabels(h, choice.rowDim);
        s.rowTitle = title(choice.rowDim);
        s.rows = dims[choice.rowDim - 1];
    } else {
        s.rowLabels = {""};
        s.rows = 1;
    }
    if (choice.colDim >= 1) {
        s.colLabels = dimensionLabels(h, choice.colDim);
        s.colTitle = title(choice.colDim);
        s.cols = dims[choice.colDim - 1];
    } else {
        s.colLabels = {s.headerName};
        s.cols = 1;
    }
    const auto cells = static_cast<std::size_t>(s.rows * s.cols);
    if (h.HeadType == "2I")
        s.ints.assign(cells, 0);
    else if (h.HeadType == "1C")
        s.strings.assign(cells, std::string());
    else
        s.reals.assign(cells, 0.0f);
    return s;
}

Result<HarSlice> sliceOf(const HarHeader& h, const HarSliceChoice& choice) {
    const char* tag = " [sliceOf]";
    Status st = checkSliceChoice(h, choice);
    if (!st) return std::move(st).tag(tag);
    HarSlice s = emptySlice(h, choice);
    if (h.HeadType == "1C") {
        for (std::int64_t r = 0; r < s.rows && r < static_cast<std::int64_t>(h.strings.size()); ++r)
            s.strings[static_cast<std::size_t>(r)] = h.strings[static_cast<std::size_t>(r)];
        return s;
    }
    if (h.HeadType == "2I") {
        if (!h.intMatrix) return Result<HarSlice>::fail("Integer matrix missing" + std::string(tag));
        for (std::int64_t r = 0; r < s.rows; ++r)
            for (std::int64_t c = 0; c < s.cols; ++c) {
                const std::int64_t i = choice.rowDim == 1 ? r : c, j = choice.rowDim == 1 ? c : r;
                s.ints[s.index(r, c)] = h.intMatrix->i32(i + 1, j + 1);
            }
        return s;
    }
    if (h.HeadType != "RE" || !h.HeadMat.allocated() || h.HeadMat.dims() != h.dims)
        return Result<HarSlice>::fail("No real array to slice" + std::string(tag));
    Dims7 idx = choice.fixed;
    for (std::int64_t r = 0; r < s.rows; ++r)
        for (std::int64_t c = 0; c < s.cols; ++c) {
            if (choice.rowDim >= 1) idx[choice.rowDim - 1] = r + 1;
            if (choice.colDim >= 1) idx[choice.colDim - 1] = c + 1;
            for (int k = h.NDim; k < 7; ++k) idx[k] = 1;
            s.reals[s.index(r, c)] = h.HeadMat.Root()[h.HeadMat.offset(idx)];
        }
    return s;
}

std::string HarSlice::cellText(std::int64_t r, std::int64_t c) const {
    if (r < 0 || c < 0 || r >= rows || c >= cols) return {};
    const std::size_t i = index(r, c);
    if (!strings.empty()) return strings[i];
    if (!ints.empty()) return std::to_string(ints[i]);
    if (reals.empty()) return {};
    // The shortest text that reads back as the same 4-byte real.
    char buf[32];
    const auto done = std::to_chars(buf, buf + sizeof buf, reals[i]);
    return std::string(buf, done.ptr);
}

std::string csvField(const std::string& f, char separator) {
    const bool quote =
        f.find(separator) != std::string::npos || f.find_first_of("\"\r\n") != std::string::npos;
    if (!quote) return f;
    std::string out = "\"";
    for (char ch : f) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

std::string sliceText(const HarSlice& s, char separator, bool crlf) {
    const char* eol = crlf ? "\r\n" : "\n";
    auto field = [&](const std::string& f) { return csvField(f, separator); };
    std::string out = field(s.rowTitle);
    for (std::int64_t c = 0; c < s.cols; ++c) out += separator + field(s.colLabel(c));
    out += eol;
    for (std::int64_t r = 0; r < s.rows; ++r) {
        out += field(s.rowLabel(r));
        for (std::int64_t c = 0; c < s.cols; ++c) out += separator + field(s.cellText(r, c));
        out += eol;
    }
    return out;
}

Result<HarSliceChoice> parseSliceChoice(const HarHeader& h, const std::string& text) {
    Dims7 dims;
    const int nd = sliceDims(h, dims);
    HarSliceChoice choice;
    choice.rowDim = choice.colDim = 0;
    // A dimension by set name (the only one of that name) or by number.
    auto dimension = [&](const std::string& word, int& k) -> Status {
        if (isNumber(word)) {
            k = std::atoi(word.c_str());
            if (k < 1 || k > nd)
                return Status::fail("Dimension " + word + " is not a dimension of the header (it has " +
                                    str(nd) + ")");
            return Status::ok();
        }
        k = 0;
        for (int j = 1; j <= nd; ++j)
            if (h.HeadType == "RE" && iequals(h.dimLabels[j - 1], word)) {
                if (k != 0)
                    return Status::fail("Set " + word + " names more than one dimension: use its number");
                k = j;
            }
        if (k == 0) return Status::fail("No dimension of the header is named " + word);
        return Status::ok();
    };
    std::vector<int> shown;
    bool given[7] = {false, false, false, false, false, false, false};
    for (const std::string& part0 : split(text, ',')) {
        const std::string part = trim(part0);
        if (part.empty()) return Result<HarSliceChoice>::fail("Empty part in slice " + text);
        const auto eq = part.find('=');
        int k = 0;
        if (eq == std::string::npos) {
            Status s = dimension(part, k);
            if (!s) return s;
            if (shown.size() >= 2)
                return Result<HarSliceChoice>::fail("More than two dimensions to show in slice " + text);
            shown.push_back(k);
            continue;
        }
        const std::string dimWord = trim(part.substr(0, eq)), element = trim(part.substr(eq + 1));
        Status s = dimension(dimWord, k);
        if (!s) return s;
        const auto labels = dimensionLabels(h, k);  // names only; numbers below
        std::int64_t e = 0;
        for (std::size_t i = 0; i < labels.size() && e == 0; ++i)
            if (iequals(labels[i], element)) e = static_cast<std::int64_t>(i + 1);
        if (e == 0 && isNumber(element)) e = std::atoll(element.c_str());
        if (e < 1 || e > dims[k - 1])
            return Result<HarSliceChoice>::fail("Dimension " + dimWord + " has no element " + element);
        choice.fixed[k - 1] = e;
        given[k - 1] = true;
    }
    if (shown.empty()) {
        HarSliceChoice d = defaultSliceChoice(h);
        choice.rowDim = d.rowDim;
        choice.colDim = d.colDim;
    } else {
        choice.rowDim = shown[0];
        choice.colDim = shown.size() > 1 ? shown[1] : 0;
        if (choice.colDim == 0 && nd >= 2) {
            // One dimension named: the first other dimension goes across.
            for (int j = 1; j <= nd && choice.colDim == 0; ++j)
                if (j != choice.rowDim) choice.colDim = j;
        }
    }
    for (int k : {choice.rowDim, choice.colDim})
        if (k >= 1 && given[k - 1])
            return Result<HarSliceChoice>::fail("Dimension " + str(k) +
                                                " is shown and fixed at once in slice " + text);
    Status s = checkSliceChoice(h, choice);
    if (!s) return s;
    return choice;
}

}  // namespace vdln
