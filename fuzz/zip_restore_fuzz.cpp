// Fuzz target over the restore path: the input bytes are an archive, which
// is listed and restored (ingredients, closure/shock part, results) into a
// fresh folder in batch mode.  Beside the sanitizers' own checks, a restore
// that writes anything outside its folder stops the run.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "archive/ingredients.h"
#include "archive/results.h"
#include "archive/zipfile.h"
#include "base/clock.h"
#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "model/simrecord.h"
#include "runrecord/recordfiles.h"
#include "runrecord/runrecord.h"

namespace {

using namespace vdln;

// Answers every question with its default and forgets the texts.
class QuietDialogs : public Dialogs {
public:
    Button message(MsgKind, const std::string&, Buttons buttons, int) override {
        if (buttons & BtnOk) return BtnOk;
        if (buttons & BtnYes) return BtnYes;
        return BtnCancel;
    }
    std::optional<std::string> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> inputText(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::optional<int> chooseOption(const std::string&, const std::string&, const std::vector<std::string>&,
                                    int d) override {
        return d;
    }
};

struct Place {
    std::string base, prog, temp, keep, target, input;
    Place() {
        const char* shm = directoryExists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string templ = std::string(shm) + "/vdlnzipfuzzXXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data())) std::abort();
        base = buf.data();
        prog = JoinPath(base, "prog");
        temp = JoinPath(base, "temp");
        keep = JoinPath(base, "keep");
        target = JoinPath(base, "t");
        input = JoinPath(base, "in.zip");
        for (const auto& d : {prog, temp, keep})
            if (!makeDirectories(d)) std::abort();
    }
};

Place& place() {
    static Place p;
    return p;
}

std::set<std::string> entries(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) names.insert(e->d_name);
        ::closedir(d);
    }
    return names;
}

void clearFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Place& p = place();
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Listing straight from memory.
    (void)innerZipListing(bytes);

    if (!writeFileAtomic(p.input, bytes)) return 0;
    clearFolder(p.target);
    clearFolder(p.temp);
    (void)makeDirectories(p.temp);

    QuietDialogs dialogs;
    FixedClock clock(fileTimeFromUnix(1700000000, 0));
    TSimRecord rec = CreateSimRecord();
    rec.WorkDir = p.target;
    ArchiveEnv env(rec, dialogs, clock);
    env.programDir = p.prog;
    env.tempDir = p.temp;
    env.batch = true;

    const unsigned choice = size ? data[size - 1] % 3 : 0;
    (void)RestoreIngredientsFromZip(env, p.input, p.target, choice == 1);
    (void)ListIngredientsPart(env, p.input, static_cast<ArchivePart>(size % 7));
    RunRecordEnv rr(rec, TKeepRunInfo::inDirectory(p.keep), clock);
    for (int r = 1; r <= 3; ++r)
        rr.copies[static_cast<size_t>(r)] = JoinPath(p.target, "app.ds" + std::to_string(r + 2));
    (void)RestoreResultsFromZip(env, rr, p.input, p.target, static_cast<RecordsChoice>(choice));

    // Nothing may appear beside the folders the restore was given.
    static const std::set<std::string> allowed = {".", "..", "prog", "temp", "keep", "t", "in.zip"};
    for (const auto& n : entries(p.base))
        if (!allowed.count(n)) __builtin_trap();
    if (entries(p.prog).size() > 2) __builtin_trap();
    return 0;
}
