#include "qxcollect/command_line.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <string_view>

namespace qx {
namespace {

std::wstring Lowered(std::wstring_view text)
{
    std::wstring lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; });
    return lowered;
}

// The comma-separated words of `value`, each one of `allowed`, none twice and
// none empty; nothing when the list breaks a rule.
template <std::size_t N>
std::optional<std::array<bool, N>> WordList(std::wstring_view value, const std::array<std::wstring_view, N>& allowed)
{
    std::array<bool, N> chosen{};
    const std::wstring lowered = Lowered(value);
    std::wstring_view rest = lowered;
    while (true) {
        const std::size_t comma = rest.find(L',');
        const std::wstring_view word = rest.substr(0, comma);
        const auto found = std::find(allowed.begin(), allowed.end(), word);
        if (found == allowed.end()) return std::nullopt;
        bool& flag = chosen[static_cast<std::size_t>(found - allowed.begin())];
        if (flag) return std::nullopt;
        flag = true;
        if (comma == std::wstring_view::npos) return chosen;
        rest.remove_prefix(comma + 1);
    }
}

constexpr std::array<std::wstring_view, 5> kItems{L"event", L"debug", L"dump", L"registry", L"vorlix"};
constexpr std::array<BYTE CollectRequest::*, 5> kItemFlags{
    &CollectRequest::WantEventLogs, &CollectRequest::WantDebugLogs, &CollectRequest::WantCrashDumps,
    &CollectRequest::WantRegistry, &CollectRequest::WantVorlixFiles};
// In PeriodIndex order.
constexpr std::array<std::wstring_view, 5> kPeriods{L"48h", L"7d", L"30d", L"60d", L"all"};
// In SystemLevels order, then verbose.
constexpr std::array<std::wstring_view, 5> kLevels{L"info", L"warning", L"error", L"critical", L"verbose"};
constexpr std::array<std::wstring_view, 2> kAudits{L"success", L"failure"};

enum class Kind { Flag, Value };
struct Option {
    std::wstring_view Name;
    Kind Takes;
};
constexpr std::array<Option, 10> kOptions{{
    {L"out", Kind::Value}, {L"items", Kind::Value}, {L"period", Kind::Value}, {L"levels", Kind::Value},
    {L"audit", Kind::Value}, {L"all-users", Kind::Flag}, {L"zip", Kind::Flag}, {L"quiet", Kind::Flag},
    {L"help", Kind::Flag}, {L"?", Kind::Flag},
}};

// Applies one option; false when its value is malformed.
bool Apply(std::wstring_view name, const std::wstring& value, UnattendedOptions& options)
{
    CollectRequest& request = options.Request;
    if (name == L"out") {
        options.OutFolder = value;
        return !value.empty();
    }
    if (name == L"items") {
        const auto chosen = WordList(value, kItems);
        if (!chosen) return false;
        for (std::size_t i = 0; i < kItems.size(); ++i) request.*kItemFlags[i] = (*chosen)[i];
        return true;
    }
    if (name == L"period") {
        const auto found = std::find(kPeriods.begin(), kPeriods.end(), Lowered(value));
        if (found == kPeriods.end()) return false;
        request.PeriodIndex = static_cast<int>(found - kPeriods.begin());
        return true;
    }
    if (name == L"levels") {
        const auto chosen = WordList(value, kLevels);
        if (!chosen) return false;
        for (std::size_t i = 0; i < 4; ++i) request.SystemLevels[i] = request.ApplicationLevels[i] = (*chosen)[i];
        request.VerboseEvents = (*chosen)[4];
        return true;
    }
    if (name == L"audit") {
        const auto chosen = WordList(value, kAudits);
        if (!chosen) return false;
        request.SecurityAuditSuccess = (*chosen)[0];
        request.SecurityAuditFailure = (*chosen)[1];
        return true;
    }
    if (name == L"all-users") options.AllUsers = true;
    if (name == L"zip") options.Zip = true;
    if (name == L"quiet") options.Quiet = true;
    if (name == L"help" || name == L"?") options.Help = true;
    return true;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    ParsedCommandLine parsed;
    // Every item, as the collection page starts with them all ticked.
    for (BYTE CollectRequest::*item : kItemFlags) parsed.Options.Request.*item = 1;
    std::set<std::wstring> seen;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        parsed.Error = argument;
        std::wstring name;
        std::optional<std::wstring> value;
        if (argument.starts_with(L"--") && argument.size() > 2) {
            const std::size_t equals = argument.find(L'=');
            name = Lowered(argument.substr(2, equals == std::wstring::npos ? std::wstring::npos : equals - 2));
            if (equals != std::wstring::npos) value = argument.substr(equals + 1);
        } else if (argument.starts_with(L"/") && argument.size() > 1) {
            const std::size_t colon = argument.find(L':');
            name = Lowered(argument.substr(1, colon == std::wstring::npos ? std::wstring::npos : colon - 1));
            if (colon != std::wstring::npos) value = argument.substr(colon + 1);
        } else {
            return parsed;
        }
        const auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                         [&](const Option& known) { return known.Name == name; });
        if (option == kOptions.end() || !seen.insert(name).second) return parsed;
        if (option->Takes == Kind::Flag && value) return parsed;
        if (option->Takes == Kind::Value && !value) {
            // "--name value"; the "/name:value" spelling keeps its value attached.
            if (argument.starts_with(L"/") || i + 1 == arguments.size()) return parsed;
            value = arguments[++i];
        }
        if (!Apply(name, value.value_or(L""), parsed.Options)) {
            if (option->Takes == Kind::Value && argument.find(L'=') == std::wstring::npos && !argument.starts_with(L"/"))
                parsed.Error = argument + L" " + *value;
            return parsed;
        }
    }
    parsed.Error.clear();
    parsed.Ok = parsed.Options.Help || !parsed.Options.OutFolder.empty();
    if (!parsed.Ok) parsed.Error = L"--out";
    return parsed;
}

}  // namespace qx
