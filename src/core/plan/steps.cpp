#include "plan/steps.h"

#include <array>
#include <utility>

namespace vdln {

namespace {

template <class E, std::size_t N>
using Texts = std::array<std::pair<E, std::string_view>, N>;

constexpr Texts<JobKind, 9> kJobKinds{{{JobKind::None, ""},
                                       {JobKind::Sim, "sim"},
                                       {JobKind::Bot, "bot"},
                                       {JobKind::Csv, "csv"},
                                       {JobKind::SsSol, "sssol"},
                                       {JobKind::Aggrex, "aggrex"},
                                       {JobKind::Cumsol, "cumsol"},
                                       {JobKind::Divero, "divero"},
                                       {JobKind::Devsol, "devsol"}}};

constexpr Texts<PartKind, 13> kPartKinds{{{PartKind::None, ""},
                                          {PartKind::Sim, "sim"},
                                          {PartKind::Sol, "sol"},
                                          {PartKind::Env, "env"},
                                          {PartKind::Tellur1, "tellur1"},
                                          {PartKind::Sectra1, "sectra1"},
                                          {PartKind::Solpol, "solpol"},
                                          {PartKind::Tellur2, "tellur2"},
                                          {PartKind::Csv, "csv"},
                                          {PartKind::SsSol, "sssol"},
                                          {PartKind::Yony, "yony"},
                                          {PartKind::Cum, "cum"},
                                          {PartKind::Py, "py"}}};

constexpr Texts<SimFileSet, 6> kSimFileSets{{{SimFileSet::All, "all"},
                                             {SimFileSet::Model, "model"},
                                             {SimFileSet::DataInputs, "data inputs"},
                                             {SimFileSet::UpdatedInputs, "updated inputs"},
                                             {SimFileSet::CmfBits, "cmfbits"},
                                             {SimFileSet::CmfStart, "cmfstart"}}};

constexpr Texts<JobOrder, 2> kJobOrders{
    {{JobOrder::PolicyAsap, "pol-ASAP"}, {JobOrder::BaseAsap, "base-ASAP"}}};

template <class E, std::size_t N>
std::string_view textOf(const Texts<E, N>& texts, E value) {
    for (const auto& [v, t] : texts)
        if (v == value) return t;
    return "?";
}

template <class E, std::size_t N>
std::optional<E> valueOf(const Texts<E, N>& texts, std::string_view text) {
    for (const auto& [v, t] : texts)
        if (t == text) return v;
    return std::nullopt;
}

}  // namespace

std::string_view text(JobKind kind) {
    return textOf(kJobKinds, kind);
}
std::string_view text(PartKind part) {
    return textOf(kPartKinds, part);
}
std::string_view text(SimFileSet set) {
    return textOf(kSimFileSets, set);
}
std::string_view text(JobOrder order) {
    return textOf(kJobOrders, order);
}

std::optional<JobKind> jobKindFromText(std::string_view t) {
    return valueOf(kJobKinds, t);
}
std::optional<PartKind> partKindFromText(std::string_view t) {
    return valueOf(kPartKinds, t);
}
std::optional<SimFileSet> simFileSetFromText(std::string_view t) {
    return valueOf(kSimFileSets, t);
}
std::optional<JobOrder> jobOrderFromText(std::string_view t) {
    return valueOf(kJobOrders, t);
}

std::string stepText(JobKind kind, PartKind part) {
    std::string s(text(kind));
    s += '/';
    s += text(part);
    return s;
}

}  // namespace vdln
