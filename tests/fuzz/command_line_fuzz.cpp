// Any bytes as a command line: the splitter always ends with arguments that hold no quote and no
// zero byte, the count and the indexed arguments agree, and both option parsers keep their
// promises about the records they fill.
#include "foundation/arguments.h"
#include "fuzz_support.h"
#include "options.h"
#include "valpick/options.h"

#include <cstddef>
#include <cstdint>

namespace {

bool hasLowerCaseLetter(const std::string &text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// The arguments after the program name, split one by one.
std::vector<std::string> splitAll(std::string_view line) {
    std::vector<std::string> arguments;
    std::size_t position = splitArgument(line, 0).next;
    for (;;) {
        SplitResult split = splitArgument(line, position);
        FUZZ_CHECK(split.next >= position && split.next <= line.size());
        if (split.argument.empty())
            return arguments;
        FUZZ_CHECK(split.next > position);
        FUZZ_CHECK(split.argument.find('"') == std::string::npos);
        FUZZ_CHECK(split.argument.find('\0') == std::string::npos);
        arguments.push_back(split.argument);
        position = split.next;
    }
}

void checkSplicerOptions(const std::vector<std::string> &arguments) {
    bool usable = false;
    SplicerOptions options = sortSplicerArguments(arguments, usable);
    if (!usable)
        return;
    FUZZ_CHECK(!options.sourcePath.empty() && options.sourcePath[0] != '/');
    if (options.position == PositionMode::searchHit)
        FUZZ_CHECK(!options.searchString.empty());
    else
        FUZZ_CHECK(options.searchString.empty() && options.onlyOnce &&
                   options.replace == (options.text.empty() && !options.textFromFile));
    FUZZ_CHECK(!(options.replace && options.insertBefore));
    if (!options.caseSensitive)
        FUZZ_CHECK(!hasLowerCaseLetter(options.searchString));
    if (options.groupGiven)
        FUZZ_CHECK(!options.groupHeader.empty() && options.groupHeader[0] == '[' &&
                   options.groupHeader.size() <= 1001 && !hasLowerCaseLetter(options.groupHeader));
    if (options.newFileGiven) {
        // The last /NEW= name, whole: a file name is never shortened.
        std::string last;
        for (const std::string &a : arguments)
            if (toUpperAscii(std::string_view(a).substr(0, 5)) == "/NEW=")
                last = a.substr(5);
        FUZZ_CHECK(options.outputPath == last);
    }
}

void checkValpickOptions(const std::vector<std::string> &arguments) {
    ValpickOptions options = sortValpickArguments(arguments);
    if (options.positionalCount < valpickRequiredPositionals)
        return;
    FUZZ_CHECK(!options.fileName.empty() && options.fileName[0] != '/');
    FUZZ_CHECK(!options.group.empty() && options.group[0] == '[');
    FUZZ_CHECK(!options.valueName.empty() && !hasLowerCaseLetter(options.valueName));
    FUZZ_CHECK(!hasLowerCaseLetter(options.group) && !hasLowerCaseLetter(options.value));
    FUZZ_CHECK(options.value.size() <= 999);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> arguments = splitAll(line);
    int count = argumentCountIn(line);
    FUZZ_CHECK(count == static_cast<int>(arguments.size()));
    for (int i = 1; i <= count; ++i)
        FUZZ_CHECK(argumentIn(line, i) == arguments[static_cast<std::size_t>(i - 1)]);
    FUZZ_CHECK(argumentIn(line, count + 1).empty());
    FUZZ_CHECK(argumentIn(line, -1).empty());
    checkSplicerOptions(arguments);
    checkValpickOptions(arguments);
    return 0;
}
