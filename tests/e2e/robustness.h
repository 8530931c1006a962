// Shared by the robustness tests: what a run may leave behind, and how to show where bytes
// differ.
#pragma once

#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

inline const std::string temporaryName = "~~splc~~.tmp";

using Files = std::map<std::string, std::string>;

// The exit code that carries an error number: the number itself, 255 when it does not fit.
inline int exitCodeFor(int number) {
    return number <= 255 ? number : 255;
}

// Equality of two byte strings; a failure shows the sizes and the first differing byte.
inline ::testing::AssertionResult sameBytes(const std::string &actual,
                                            const std::string &expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << " (actual, expected), first difference at byte " << at;
}

// Every file of before, except those in mayChange, is still there with the same bytes, and
// nothing appeared beside them except the names in mayAppear.
inline ::testing::AssertionResult othersUnchanged(const Files &before, const Files &after,
                                                  const std::vector<std::string> &mayChange,
                                                  const std::vector<std::string> &mayAppear) {
    auto listed = [](const std::vector<std::string> &names, const std::string &name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (const auto &[name, bytes] : before) {
        if (listed(mayChange, name))
            continue;
        auto found = after.find(name);
        if (found == after.end())
            return ::testing::AssertionFailure() << name << " is lost";
        if (found->second != bytes)
            return ::testing::AssertionFailure() << name << " changed";
    }
    for (const auto &[name, bytes] : after)
        if (!before.count(name) && !listed(mayAppear, name))
            return ::testing::AssertionFailure() << name << " appeared";
    return ::testing::AssertionSuccess();
}

// SPLICER's promise about the source after any run, ended normally or not: it is untouched, or
// replaced whole by result; only when the run stopped after the erase that precedes the rename
// (mayBeErased) may it be missing, with the whole result in the temporary file. At most the
// temporary file is left over beside it; every other file is as it was.
inline ::testing::AssertionResult sourceKept(const Files &before, const Files &after,
                                             const std::string &source, const std::string &result,
                                             bool mayBeErased) {
    auto sourceNow = after.find(source);
    auto temporary = after.find(temporaryName);
    if (sourceNow == after.end()) {
        if (!mayBeErased)
            return ::testing::AssertionFailure() << source << " is lost";
        if (temporary == after.end() || temporary->second != result)
            return ::testing::AssertionFailure()
                   << source << " is erased without the whole result in " << temporaryName;
    } else if (sourceNow->second != before.at(source)) {
        if (sourceNow->second != result)
            return ::testing::AssertionFailure()
                   << source << " is neither untouched nor the result: "
                   << sameBytes(sourceNow->second, result).message();
        if (temporary != after.end())
            return ::testing::AssertionFailure() << "the result took the source's place, yet "
                                                 << temporaryName << " is left over";
    }
    return othersUnchanged(before, after, {source, temporaryName}, {temporaryName});
}
