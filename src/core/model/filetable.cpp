#include "model/filetable.h"

#include <vector>

#include "base/fileutil.h"
#include "formats/din.h"

namespace vdln {

void RebuildFilesFromModel(TSimRecord& rec) {
    rec.Files.fill(TSimFileEntry{});
    rec.NumFiles = 0;
    for (int k = 1; k <= rec.NumModelFiles && k <= kMaxModelFiles; ++k) {
        const TModelFileDesc& d = rec.ModelFiles[k];
        if (d.IsSpecial || rec.NumFiles >= kMaxUserFiles) continue;
        ++rec.NumFiles;
        rec.Files[rec.NumFiles] = makeSimFileEntry(d, rec.NumFiles);
    }
}

Status ReadDinFile(const std::string& fileName, TSimRecord& rec, Dialogs& dialogs, bool quiet) {
    RebuildFilesFromModel(rec);
    if (fileName.empty() || !fileExists(fileName)) return Status::ok();
    auto fail = [&](const std::string& text) {
        if (!quiet) dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
        return Status::fail(text);
    };

    std::vector<std::string> names;
    for (int n = 1; n <= rec.NumFiles && n <= kMaxUserFiles; ++n) names.push_back(rec.Files[n].Name.str());
    const DinContents din = ReadDinStatements(fileName, names);
    for (size_t i = 0; i < din.files.size(); ++i) {
        const DinFileFacts& facts = din.files[i];
        TSimFileEntry& f = rec.Files[static_cast<int>(i) + 1];
        if (facts.key) f.Key = *facts.key;
        if (facts.role)
            f.Usage = *facts.role == DinRole::LaggedInput ? kUsageLaggedInput : kUsageConstantInput;
        if (facts.lagOf) f.LagFile = *facts.lagOf;
        if (facts.usage)
            for (int r = 0; r <= 3; ++r) f.InputUsage[r] = (*facts.usage)[static_cast<size_t>(r)];
    }
    if (!din.error.empty())
        return fail(din.error + " in DIN file" + "\r\n" + fileName + "\r\n" +
                    "Unable to process this DIN file.");

    if (Status v = ValidateFileTable(rec); !v)
        return fail("Problem with Model Information on DIN file\r\n" + fileName + "\r\n" + v.message() +
                    "\r\n" +
                    "Use menu item \"Edit Dynamic Info File\" under the File menu to fix the problem.");
    return Status::ok();
}

}  // namespace vdln
