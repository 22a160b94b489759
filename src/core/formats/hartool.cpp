#include "formats/hartool.h"

#include <cstdio>
#include <ctime>
#include <ostream>

#include "formats/harfile.h"

namespace vdln {

namespace {

const char* kUsage =
    "usage: vdlnhar list FILE\n"
    "       vdlnhar dump FILE HEADER\n"
    "       vdlnhar copy IN OUT [--lahey|--fujitsu] [--sort]\n";

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
    std::snprintf(buf, sizeof buf, "%-4s  %-2s  %-4s  ", h.name.c_str(), h.typeRead.c_str(), h.storage.c_str());
    std::string dims = h.dimsText;
    if (dims.size() < 20) dims.resize(20, ' ');
    out << buf << dims << "  " << h.description << "\n";
}

int list(const std::string& file, std::ostream& out, std::ostream& err) {
    auto f = ReadHarFile(file);
    if (!f) {
        err << forTerminal(f.message()) << "\n";
        return 1;
    }
    out << (f->flavour == RecordFlavour::Lahey ? "Lahey" : "Fujitsu") << "\n";
    for (const PHarHeader* s : {&f->creationDate, &f->creatingProgram, &f->history, &f->xxff})
        if (*s) listLine(out, **s);
    for (const auto& h : f->headers) listLine(out, *h);
    return 0;
}

void dumpReals(const HarHeader& h, std::ostream& out) {
    const HeadMat& m = h.HeadMat;
    if (!m.allocated() || m.size() == 0) return;
    const int nd = std::max(0, std::min(h.NDim, 7));
    std::vector<std::vector<std::string>> labels(static_cast<std::size_t>(nd));
    for (int k = 0; k < nd; ++k) {
        auto names = h.elementNames(k + 1);
        if (static_cast<std::int64_t>(names.size()) == m.dim(k + 1)) labels[static_cast<std::size_t>(k)] = names;
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
        if (a == "--sort") sort = true;
        else if (a == "--lahey") setFlavour = true, flavour = RecordFlavour::Lahey;
        else if (a == "--fujitsu") setFlavour = true, flavour = RecordFlavour::Fujitsu;
        else if (!a.empty() && a[0] == '-') {
            err << "unknown option " << a << "\n" << kUsage;
            return 2;
        } else if (in.empty()) in = a;
        else if (outName.empty()) outName = a;
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
    if (cmd == "list" && args.size() == 2) return list(args[1], out, err);
    if (cmd == "dump" && args.size() == 3) return dump(args[1], args[2], out, err);
    if (cmd == "copy") return copy(args, err);
    err << kUsage;
    return 2;
}

}  // namespace vdln
