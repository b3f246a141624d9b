#include "cli/arguments.h"

#include <algorithm>

#include "core/messages.h"
#include "engine/run/job.h"

namespace quorvel::cli {

using namespace engine;

std::optional<std::string_view> FindBeforeEnd(std::span<const std::string_view> args,
                                              std::initializer_list<std::string_view> names) {
    for (std::string_view a : args) {
        if (a == "--") break;
        if (std::find(names.begin(), names.end(), a) != names.end()) return a;
    }
    return std::nullopt;
}

bool ArgumentReader::Next() {
    while (next_ < args_.size()) {
        at_ = next_++;
        const std::string_view a = args_[at_];
        if (optionsEnded_ || a == "-" || a.empty() || a.front() != '-') {
            positional_.push_back(a);
        } else if (a == "--") {
            optionsEnded_ = true;
        } else {
            return true;
        }
    }
    return false;
}

std::optional<std::string_view> ArgumentReader::Value(std::string_view name) {
    const std::string_view a = args_[at_];
    if (a == name) {
        if (next_ >= args_.size()) throw UsageError(Fill(Tr("{0} needs a value"), {name}));
        return args_[next_++];
    }
    if (name.size() > 2 && a.starts_with(name) && a.size() > name.size() && a[name.size()] == '=') {
        return a.substr(name.size() + 1);
    }
    if (name.size() == 2 && a.starts_with(name) && a.size() > 2) return a.substr(2);
    return std::nullopt;
}

bool ArgumentReader::Valued(std::string_view name, std::optional<std::string>& slot) {
    const std::optional<std::string_view> value = Value(name);
    if (!value) return false;
    if (slot) throw UsageError(Fill(Tr("{0} given twice"), {name}));
    slot = std::string(*value);
    return true;
}

void ArgumentReader::Flag(bool* flag) const {
    if (flag == nullptr) throw UsageError(Fill(Tr("unknown option {0}"), {Option()}));
    if (*flag) throw UsageError(Fill(Tr("{0} given twice"), {Option()}));
    *flag = true;
}

void ReadInputFile(std::span<const std::string_view> positional, std::string& input) {
    if (positional.size() > 2) {
        throw UsageError(Fill(Tr("more than one input file: {0}"), {Quoted(positional[2])}));
    }
    if (positional.size() == 2) {
        if (positional[1].empty()) throw UsageError(Tr("empty input file name"));
        input = std::string(positional[1]);
    }
}

std::string ReadOutputFile(const std::string& typed) {
    if (typed.empty()) throw UsageError(Tr("-o needs a file name"));
    return typed == "-" ? std::string() : typed;
}

void ThrowIfRefused(const std::optional<JobRefusal>& refusal) {
    if (!refusal) return;
    if (!refusal->usage) throw JobRefused(refusal->words);
    throw UsageError(refusal->words);
}

std::string ReadSheet(const std::string& text) {
    if (text.empty()) throw UsageError(Tr("--sheet: give the name of a sheet of the workbook"));
    return text;
}

std::string ReadEncoding(const std::string& text) {
    std::string iconvName;
    ThrowIfRefused(engine::ReadEncoding(text, iconvName));
    return iconvName;
}

}  // namespace quorvel::cli
