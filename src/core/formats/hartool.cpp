#include "formats/hartool.h"

#include <cstdio>
#include <ctime>
#include <ostream>

#include "formats/harfile.h"
#include "formats/harindex.h"
#include "formats/harslice.h"

namespace vdln {

namespace {

const char* kUsage =
    "usage: vdlnhar list FILE\n"
    "       vdlnhar dump FILE HEADER\n"
    "       vdlnhar csv FILE HEADER [--slice SLICE] [--tsv]\n"
    "       vdlnhar copy IN OUT [--lahey|--fujitsu] [--sort]\n"
    "       vdlnhar --help\n";

const char* kHelp =
    "\n"
    "list   the file's flavour, then one line per header: name, type, storage,\n"
    "       dimensions (set names), description.  Only the headers' descriptions\n"
    "       are read, so even a very large file is listed at once.\n"
    "dump   a header's values, one line per value: the element of each\n"
    "       dimension, then the value.\n"
    "csv    a header as a table with the set elements as row and column labels:\n"
    "       its first dimension down, its second across.  A header of more than\n"
    "       two dimensions is written one line per value (a column per\n"
    "       dimension, then the value) unless --slice picks a table out of it.\n"
    "       --tsv separates the fields by tabs instead of commas.\n"
    "copy   reads a file and writes it again, in the other flavour if asked.\n"
    "\n"
    "SLICE is a comma-separated list: first the dimension shown down the rows,\n"
    "then (optionally) the one shown across, then DIM=ELEMENT for any other\n"
    "dimension, fixing it at that element; a dimension not fixed is taken at\n"
    "its first element.  A dimension is given by its set name (letter case\n"
    "does not matter) or by its number 1..7; an element by its name or its\n"
    "number.  A set that labels two dimensions must be given by number.\n"
    "Examples, for a header over COM*REG*YEAR:\n"
    "  --slice COM,REG,YEAR=2030    commodities down, regions across, in 2030\n"
    "  --slice REG,YEAR,COM=food    regions down, years across, for food\n"
    "  --slice 3,1,2=2              years down, commodities across, region 2\n";

// Message chains use CR LF inside; a terminal wants plain line feeds.
std::string forTerminal(std::string s) {
    for (std::size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 1);
    return s;
}

std::string realText(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string nowText() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%d/%m/%Y %H:%M:%S", &tm);
    return buf;
}

void listLine(std::ostream& out, const HarHeader& h) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%-4s  %-2s  %-4s  ", h.name.c_str(), h.typeRead.c_str(),
                  h.storage.c_str());
    std::string dims = h.dimsText;
    if (dims.size() < 20) dims.resize(20, ' ');
    out << buf << dims << "  " << h.description << "\n";
}

// Lists from the index: the headers' data is never read.  Headers that
// cannot be read are listed by name with their message on `err`, and make
// the exit status 1, as does damage that stops the index.
int list(const std::string& file, std::ostream& out, std::ostream& err) {
    HarReader reader;
    Status s = reader.open(file);
    if (!s && reader.entries().empty()) {
        err << forTerminal(s.message()) << "\n";
        return 1;
    }
    out << (reader.flavour() == RecordFlavour::Lahey ? "Lahey" : "Fujitsu") << "\n";
    int status = 0;
    for (const auto& e : reader.entries()) {
        if (e.readable()) {
            listLine(out, e.header());
            continue;
        }
        out << e.name() << "  ??  cannot be read\n";
        err << forTerminal(e.problem) << "\n";
        status = 1;
    }
    if (!s) {
        err << forTerminal(s.message()) << "\n";
        status = 1;
    }
    return status;
}

// One line per value: the element of each dimension, then the value.
void writeLong(const HarHeader& h, char sep, std::ostream& out) {
    const int nd = std::max(0, std::min(h.NDim, 7));
    auto field = [&](const std::string& f) { return csvField(f, sep); };
    std::vector<std::vector<std::string>> labels;
    std::string title;
    for (int k = 1; k <= nd; ++k) {
        labels.push_back(dimensionLabels(h, k));
        title += field(h.dimLabels[k - 1].empty() ? "dim" + std::to_string(k) : h.dimLabels[k - 1]) + sep;
    }
    out << title << "value\n";
    const HeadMat& m = h.HeadMat;
    if (!m.allocated()) return;
    Dims7 idx{1, 1, 1, 1, 1, 1, 1};
    for (std::int64_t i = 0; i < m.size(); ++i) {
        std::string line;
        for (int k = 0; k < nd; ++k)
            line += field(dimensionLabel(labels[static_cast<std::size_t>(k)], idx[k])) + sep;
        out << line << realText(m.Root()[i]) << "\n";
        for (int k = 0; k < 7; ++k) {
            if (++idx[k] <= m.dim(k + 1)) break;
            idx[k] = 1;
        }
    }
}

int csv(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> plain;
    std::string sliceText1;
    bool haveSlice = false;
    char sep = ',';
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--slice" && i + 1 < args.size()) {
            sliceText1 = args[++i];
            haveSlice = true;
        } else if (a.rfind("--slice=", 0) == 0) {
            sliceText1 = a.substr(8);
            haveSlice = true;
        } else if (a == "--tsv") {
            sep = '\t';
        } else if (!a.empty() && a[0] == '-') {
            err << "unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() != 2) {
        err << kUsage;
        return 2;
    }
    const std::string& file = plain[0];
    HarReader reader;
    Status s = reader.open(file);
    const HarIndexEntry* e = reader.find(plain[1]);
    if (!e) {
        if (!s)
            err << forTerminal(s.message()) << "\n";
        else
            err << "Header " << plain[1] << " not found on file " << file << "\n";
        return 1;
    }
    if (!haveSlice && e->header().HeadType == "RE" && e->header().NDim > 2) {
        auto h = reader.readHeader(*e);
        if (!h) {
            err << forTerminal(h.message()) << "\n";
            return 1;
        }
        writeLong(**h, sep, out);
        return 0;
    }
    HarSliceChoice choice = defaultSliceChoice(e->header());
    if (haveSlice) {
        auto parsed = parseSliceChoice(e->header(), sliceText1);
        if (!parsed) {
            err << "Bad --slice " << sliceText1 << ": " << parsed.message() << "\n";
            return 2;
        }
        choice = *parsed;
    }
    auto slice = reader.readSlice(*e, choice);
    if (!slice) {
        err << forTerminal(slice.message()) << "\n";
        return 1;
    }
    out << sliceText(*slice, sep);
    return 0;
}

void dumpReals(const HarHeader& h, std::ostream& out) {
    const HeadMat& m = h.HeadMat;
    if (!m.allocated() || m.size() == 0) return;
    const int nd = std::max(0, std::min(h.NDim, 7));
    std::vector<std::vector<std::string>> labels(static_cast<std::size_t>(nd));
    for (int k = 0; k < nd; ++k) {
        auto names = h.elementNames(k + 1);
        if (static_cast<std::int64_t>(names.size()) == m.dim(k + 1))
            labels[static_cast<std::size_t>(k)] = names;
    }
    Dims7 idx{1, 1, 1, 1, 1, 1, 1};
    const float* root = m.Root();
    for (std::int64_t i = 0; i < m.size(); ++i) {
        std::string line;
        for (int k = 0; k < nd; ++k) {
            const auto& l = labels[static_cast<std::size_t>(k)];
            line += l.empty() ? std::to_string(idx[k]) : l[static_cast<std::size_t>(idx[k] - 1)];
            line += ",";
        }
        out << line << realText(root[i]) << "\n";
        for (int k = 0; k < 7; ++k) {
            if (++idx[k] <= m.dim(k + 1)) break;
            idx[k] = 1;
        }
    }
}

int dump(const std::string& file, const std::string& name, std::ostream& out, std::ostream& err) {
    auto h = ReadHeaderFromHarFile(file, name);
    if (!h) {
        err << forTerminal(h.message()) << "\n";
        return 1;
    }
    if (!*h || normaliseHeaderName(name) == "    ") {
        err << "Header " << name << " not found on file " << file << "\n";
        return 1;
    }
    const HarHeader& hh = **h;
    if (hh.HeadType == "1C") {
        for (const auto& s : hh.strings) out << s << "\n";
    } else if (hh.HeadType == "2I") {
        for (std::int64_t r = 1; r <= hh.rows && hh.intMatrix; ++r) {
            for (std::int64_t c = 1; c <= hh.cols; ++c) out << (c > 1 ? "," : "") << hh.intMatrix->i32(r, c);
            out << "\n";
        }
    } else {
        dumpReals(hh, out);
    }
    return 0;
}

int copy(const std::vector<std::string>& args, std::ostream& err) {
    std::string in, outName;
    bool sort = false, setFlavour = false;
    RecordFlavour flavour = RecordFlavour::Fujitsu;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--sort")
            sort = true;
        else if (a == "--lahey")
            setFlavour = true, flavour = RecordFlavour::Lahey;
        else if (a == "--fujitsu")
            setFlavour = true, flavour = RecordFlavour::Fujitsu;
        else if (!a.empty() && a[0] == '-') {
            err << "unknown option " << a << "\n" << kUsage;
            return 2;
        } else if (in.empty())
            in = a;
        else if (outName.empty())
            outName = a;
        else {
            err << kUsage;
            return 2;
        }
    }
    if (in.empty() || outName.empty()) {
        err << kUsage;
        return 2;
    }
    auto f = ReadHarFile(in, sort);
    if (!f) {
        err << forTerminal(f.message()) << "\n";
        return 1;
    }
    if (setFlavour) f->flavour = flavour;
    f->useSparse = useSparseFromEnvironment();
    Status s = WriteHarFile(outName, "vdlnhar", nowText(), *f);
    if (!s) {
        err << forTerminal(s.message()) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int runHarTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& cmd = args[0];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        out << kUsage << kHelp;
        return 0;
    }
    if (cmd == "list" && args.size() == 2) return list(args[1], out, err);
    if (cmd == "csv") return csv(args, out, err);
    if (cmd == "dump" && args.size() == 3) return dump(args[1], args[2], out, err);
    if (cmd == "copy") return copy(args, err);
    err << kUsage;
    return 2;
}

}  // namespace vdln
