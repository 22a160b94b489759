#include "model/simrecord.h"

#include <algorithm>

#include "base/dialogs.h"
#include "base/strutil.h"
#include "model/simgrid.h"

namespace vdln {

char runLetter(int run) {
    return run >= 1 && run <= 3 ? kRunLetters[run - 1] : '?';
}

std::string runName(int run) {
    switch (run) {
        case 1:
            return "Base";
        case 2:
            return "Rerun";
        case 3:
            return "Policy";
        default:
            return "";
    }
}

std::string usageWord(int usage) {
    switch (usage) {
        case kUsageOutput:
            return "output";
        case kUsageUpdatedInput:
            return "updated input";
        case kUsageLaggedInput:
            return "lagged input";
        case kUsageConstantInput:
            return "constant input";
        default:
            return "";
    }
}

TModelFileDesc makeModelFileDesc(const std::string& name, const std::string& type, bool isInput,
                                 bool isUpdated, const std::string& description) {
    TModelFileDesc d;
    d.Name = name;
    d.IsInput = isInput;
    d.IsUpdated = isUpdated;
    d.IsSpecial = !name.empty() && name[0] == '(';
    d.Description = description;
    if (d.IsSpecial) {
        if (iequals(d.Name.str(), "(Equations)"))
            d.Ext = "eq4";
        else if (iequals(d.Name.str(), "(Display)"))
            d.Ext = "dis";
        else if (iequals(d.Name.str(), "(Solution)"))
            d.Ext = "sl4";
        else
            d.Ext = std::string_view(d.Name.str()).substr(1, 3);
    } else {
        d.Ext = type;
    }
    return d;
}

TSimFileEntry makeSimFileEntry(const TModelFileDesc& desc, int n) {
    TSimFileEntry e;
    e.Name = desc.Name;
    e.Key = desc.Name.str();
    e.FileType = (!desc.Ext.empty() && (desc.Ext[0] == 'H' || desc.Ext[0] == 'h')) ? "HAR" : "TXT";
    e.IsInput = desc.IsInput;
    e.IsUpdated = desc.IsUpdated;
    e.Description = desc.Description;
    if (desc.IsInput && desc.IsUpdated)
        e.Usage = kUsageUpdatedInput;
    else if (desc.IsInput)
        e.Usage = kUsageConstantInput;
    else
        e.Usage = kUsageOutput;
    e.LagFile = 0;
    e.InputUsage[0] = n;
    e.InputUsage[1] = 1;
    e.InputUsage[2] = 2;
    e.InputUsage[3] = 3;
    return e;
}

TSimRecord CreateSimRecord() {
    TSimRecord rec;
    rec.FileNaming = TVardelonFileNames{};
    rec.AltMethodYears[6] = 1;
    rec.AltMethodInUse = 1;
    return rec;
}

void InitSimRecord(TSimRecord& rec, const std::string& workDir) {
    rec.NumYears = 4;
    rec.StartYear = 1998;
    rec.SimNames[1] = "BS1";
    rec.SimNames[2] = "BR1";
    rec.SimNames[3] = "PL1";
    rec.Perform.fill(0);
    rec.WorkDir = workDir;

    struct Decl {
        const char* name;
        const char* type;
        bool input, updated;
    };
    static const Decl decls[] = {
        {"FID", "HAR", true, true},      {"PARAMS", "HAR", true, false},    {"SETINFO", "HAR", true, false},
        {"EXTRA", "HAR", true, true},    {"ROREXT", "HAR", true, true},     {"EXTRA3", "HAR", true, true},
        {"EXTRA4", "HAR", true, false},  {"EXTRA5", "HAR", true, false},    {"REGSET", "HAR", true, false},
        {"REGDATA", "HAR", true, true},  {"WRITFILE", "TXT", false, false}, {"(Display)", "", false, false},
        {"(Solution)", "", false, true}, {"(Equations)", "", false, true},
    };
    rec.ModelFiles.fill(TModelFileDesc{});
    rec.Files.fill(TSimFileEntry{});
    rec.NumModelFiles = 0;
    rec.NumFiles = 0;
    for (const Decl& d : decls) {
        TModelFileDesc desc = makeModelFileDesc(d.name, d.type, d.input, d.updated);
        rec.ModelFiles[++rec.NumModelFiles] = desc;
        if (!desc.IsSpecial) {
            ++rec.NumFiles;
            rec.Files[rec.NumFiles] = makeSimFileEntry(desc, rec.NumFiles);
        }
    }
    const char* keys[] = {"REX", "EX3", "EX4", "EX5", "RGS", "RGD"};
    for (int n = 5; n <= 10; ++n) rec.Files[n].Key = keys[n - 5];
    rec.Files[7].LagFile = 4;
    rec.Files[8].LagFile = 4;
    for (int n : {6, 7, 8}) rec.Files[n].InputUsage[0] = 4;
    rec.Files[6].InputUsage[3] = 2;
    rec.Files[8].InputUsage[3] = 2;

    for (int row = -1; row <= kMaxYears; ++row)
        for (int col = 1; col <= 4; ++col) rec.GridStem(row, col) = "";
    rec.GridStem(-1, 2) = "N/A";
    rec.CMFStartExt.fill("");
    for (int row = rec.NumYears + 1; row <= kMaxYears; ++row)
        for (int col = 1; col <= 3; ++col) rec.GridStem(row, col) = "?";
    const char* baseStems[] = {"run98", "run99", "run00", "run01"};
    for (int row = 1; row <= 4; ++row) {
        rec.GridStem(row, 1) = baseStems[row - 1];
        rec.GridStem(row, 2) = baseStems[row - 1];
    }
    for (int row = 1; row <= rec.NumYears; ++row) rec.GridStem(row, 3) = "devmca";
    rec.GridStem(1, 4) = "mvehtar";
    rec.GridStem(2, 4) = "mvehtar";

    rec.PeriodLength.fill(1);
    rec.AltMethodInUse = 0;
    rec.AltMethodYears.fill(0);
    ComputeYears(rec);
    RefreshGrid(rec);
}

void ComputeYears(TSimRecord& rec) {
    rec.Years[-1] = rec.StartYear - 2;
    rec.Years[0] = rec.StartYear - 1;
    // Sum in 64 bits and clamp, so absurd period lengths from a damaged file
    // cannot overflow.
    long long sum = 0;
    for (int i = 1; i <= kMaxYears; ++i) {
        sum += rec.PeriodLength[i];
        long long y = static_cast<long long>(rec.StartYear) + sum - 1;
        y = std::clamp<long long>(y, -99999999LL, 99999999LL);
        rec.Years[i] = static_cast<int>(y);
    }
}

int yearAfter(const TSimRecord& rec, int i) {
    if (i < kMaxYears) return rec.Years[i + 1];
    return rec.Years[kMaxYears] + 1;
}

bool CheckLastYear(TSimRecord& rec, Dialogs& dialogs) {
    if (rec.NumYears <= 0) rec.NumYears = 1;
    if (rec.NumYears > kMaxYears) rec.NumYears = kMaxYears;
    ComputeYears(rec);
    long long byCount = static_cast<long long>(rec.StartYear) + rec.NumYears - 1;
    long long byPeriods = rec.Years[rec.NumYears];
    if (std::max(byCount, byPeriods) > kMaxLastYear) {
        dialogs.info(
            "Please adjust Starting Year and/or Number of Years on Sim Overview page so that ending year is "
            "at "
            "most 9999.");
        return false;
    }
    return true;
}

namespace {
bool keyCharOk(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string entryFault(const TSimFileEntry& f, int n) {
    bool input = f.IsInput != 0;
    bool updated = f.IsUpdated != 0;
    if (!input && updated) return ": output file cannot be updated";
    if (!input && f.Usage == kUsageLaggedInput) return ": output file cannot be a lagged input";
    if (input && f.Usage == kUsageOutput) return ": input file cannot be OutPutOnly";
    if (updated && f.Usage != kUsageUpdatedInput) return ": role must be updated input";
    if (!updated && f.Usage == kUsageUpdatedInput) return ": role cannot be updated input";
    if (f.Usage == kUsageLaggedInput && f.LagFile == 0) return ": lagged input must be lag of some file";
    if (f.Usage == kUsageLaggedInput && f.LagFile == n) return ": lagged input cannot be lag of itself";
    if (f.Usage != kUsageLaggedInput) {
        if (f.Key == "N/A") return ": needs a proper key";
        if (f.Key.size() < 3) return ": needs key at least 3 chars long";
        for (char c : f.Key.str())
            if (!keyCharOk(c)) return ": key contains illegal characters";
    }
    if (f.InputUsage[0] != n && f.LagFile != 0 && f.InputUsage[0] != f.LagFile)
        return ": InputUsage[0]/LagFile data inconsistent";
    if (f.InputUsage[1] != 1 || f.InputUsage[2] != 2) return ": InputUsage[1,2] not as expected";
    if (f.InputUsage[3] != 3 && f.InputUsage[3] != 2) return ": InputUsage[3] not as expected";
    return "";
}
}  // namespace

Status ValidateFileTable(const TSimRecord& rec) {
    int count = std::clamp(rec.NumFiles, 0, kMaxUserFiles);
    for (int n = 1; n <= count; ++n) {
        std::string fault = entryFault(rec.Files[n], n);
        if (!fault.empty()) return Status::fail("File " + rec.Files[n].Name + fault);
    }
    for (int n = 1; n <= count; ++n)
        for (int m = n + 1; m <= count; ++m)
            if (iequals(rec.Files[n].Key.str(), rec.Files[m].Key.str()))
                return Status::fail("Files " + rec.Files[n].Name + " and " + rec.Files[m].Name.str() +
                                    " have the same key");
    return Status::ok();
}

bool ComputeFirstPolicyYear(const TSimRecord& rec, int mode, bool quiet, bool modelLoaded,
                            PolicyStartOptions& options, int& firstPolicyYear, Dialogs& dialogs) {
    if (!modelLoaded) {
        firstPolicyYear = 1;
        return false;
    }
    int numYears = std::clamp(rec.NumYears, 1, kMaxYears);
    int first = numYears + 1;
    for (int i = numYears; i >= 1; --i)
        if (!rec.GridStem(i, 4).empty()) first = i;
    firstPolicyYear = first;

    if (options.doingRE && mode > 1 && first <= numYears) {
        firstPolicyYear = first - options.policyStartOffset;
        if (firstPolicyYear <= 0) {
            if (!quiet) {
                int most = first - 1;
                dialogs.infoHelp("First Policy shock is in sim for year " + std::to_string(rec.Years[first]) +
                                 ".\r\nHence Policy run can start at most " + std::to_string(most) +
                                 " period" + "s before this.\r\n" +
                                 "Resetting value there so Policy run will start with first year.\r\n" +
                                 "Please check the Sim Overview page to see that this is what you want.");
            }
            firstPolicyYear = 1;
            options.policyStartOffset = first - 1;
            return false;
        }
    }
    if (firstPolicyYear != numYears + 1) return true;
    firstPolicyYear = 1;
    if (mode == 1) return true;
    if (!quiet) dialogs.info(kNoPolicyShocksText);
    return false;
}

}  // namespace vdln
