#pragma once
/// The vocabulary of a job's steps: the kinds of step (`JobName`), the parts
/// within a step (`JobPart`), the sets of files a simulation's folder is
/// given and the orders in which the runs are served.  The program works
/// with these values; their texts appear only where they are written or
/// read: the jobs log, the status lines, messages and progress lines.

#include <optional>
#include <string>
#include <string_view>

namespace vdln {

/// The kind of a step ("sim", "bot", "csv", "sssol", "aggrex", "cumsol",
/// "divero", "devsol"); `None` is the empty text (no step, or no
/// spreadsheet stage done yet).
enum class JobKind { None, Sim, Bot, Csv, SsSol, Aggrex, Cumsol, Divero, Devsol };

/// A part within a step: the console program run ("sim", "sol", "env",
/// "tellur1", "sectra1", "solpol", "tellur2", "csv", "sssol", "yony", "cum",
/// "py"); `None` is the empty text.
enum class PartKind { None, Sim, Sol, Env, Tellur1, Sectra1, Solpol, Tellur2, Csv, SsSol, Yony, Cum, Py };

/// The sets of files a simulation reads that are copied into a slot's
/// folder: "all", "model", "data inputs", "updated inputs", "cmfbits",
/// "cmfstart".
enum class SimFileSet { All, Model, DataInputs, UpdatedInputs, CmfBits, CmfStart };

/// The order in which the runs are served: "pol-ASAP" (policy, rerun, Base)
/// or "base-ASAP" (Base, rerun, policy).
enum class JobOrder { PolicyAsap, BaseAsap };

std::string_view text(JobKind kind);
std::string_view text(PartKind part);
std::string_view text(SimFileSet set);
std::string_view text(JobOrder order);

/// The value a text names; nothing for a text that names none (the empty
/// text is `None` for steps and parts).
std::optional<JobKind> jobKindFromText(std::string_view text);
std::optional<PartKind> partKindFromText(std::string_view text);
std::optional<SimFileSet> simFileSetFromText(std::string_view text);
std::optional<JobOrder> jobOrderFromText(std::string_view text);

/// "sim/sol": a step and its part as the progress lines and tests show them.
std::string stepText(JobKind kind, PartKind part);

/// The last part of a BOT step: "tellur2" with SOL files for shocks, else
/// "sectra1".
inline PartKind lastBotPart(bool useSOLFilesForShocks) {
    return useSOLFilesForShocks ? PartKind::Tellur2 : PartKind::Sectra1;
}

/// The parts that run the model program itself: "sim"/"sim" and "bot"/"env".
inline bool isModelPart(JobKind kind, PartKind part) {
    return (kind == JobKind::Sim && part == PartKind::Sim) || (kind == JobKind::Bot && part == PartKind::Env);
}

/// The steps that accumulate or compare spreadsheet results ("aggrex",
/// "cumsol", "divero", "devsol").
inline bool isAccumulationStep(JobKind kind) {
    return kind == JobKind::Aggrex || kind == JobKind::Cumsol || kind == JobKind::Divero ||
           kind == JobKind::Devsol;
}

/// The deviation steps ("divero", "devsol").
inline bool isDeviationStep(JobKind kind) {
    return kind == JobKind::Divero || kind == JobKind::Devsol;
}

}  // namespace vdln
