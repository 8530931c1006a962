// A whole SPLICER pass over any file with any options, checked against what must hold whatever
// the edit: neither when the window flushes nor taking unchanged lines at once changes the
// output; without a hit the output is the input's lines, each ended by CR LF; /LAST without TEXT
// removes nothing.
#include "edit_window.h"
#include "foundation/arguments.h"
#include "fuzz_support.h"
#include "pass.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

const ScratchDirectory scratch;

// A command-line argument: no zero byte (the system ends it there) and no double quote (the
// splitter removes it); a positional one never begins with "/".
std::string argument(FuzzedDataProvider &input, std::size_t maxLength, bool positional) {
    std::string text = input.ConsumeRandomLengthString(maxLength);
    std::erase(text, '\0');
    std::erase(text, '"');
    if (positional && !text.empty() && text[0] == '/')
        text[0] = '_';
    return text;
}

std::vector<std::string> commandLine(FuzzedDataProvider &input) {
    std::vector<std::string> arguments = {"source"};
    static const char *const switches[] = {"/REPL", "/NOLIN", "/C",   "/ONCE",
                                           "/BEF",  "/FIRST", "/LAST"};
    for (const char *name : switches)
        if (input.ConsumeBool())
            arguments.push_back(name);
    if (input.ConsumeBool())
        arguments.push_back("/INIGR=" + argument(input, 12, false));
    for (int positional = input.ConsumeIntegralInRange(0, 2); positional > 0; --positional) {
        std::string text = argument(input, 40, true);
        if (!text.empty())
            arguments.push_back(input.ConsumeBool() ? "@" + text : text);
    }
    return arguments;
}

// The output of a pass with the window limit the options give, or with limit; lineByLine passes
// even the lines that no edit touches through the pass one at a time.
std::string passOutput(const SplicerOptions &options, std::optional<std::int64_t> limit = {},
                       bool lineByLine = false) {
    ioResult = 0;
    PassState state;
    openPassFiles(state, options);
    if (limit)
        state.window.limit = *limit;
    state.skipUnchangedLines = !lineByLine;
    passOverLines(state, options);
    FUZZ_CHECK(ioResult == 0);
    return readBytes(options.outputPath);
}

bool anyLineHolds(const std::vector<std::string> &lines, const SplicerOptions &options) {
    for (const std::string &line : lines) {
        std::string searched = options.caseSensitive ? line : toUpperAscii(line);
        if (searched.find(options.searchString) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

// The end of the input chooses the command line, its start is the text file and the source.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::string> arguments = commandLine(input);
    std::int64_t tinyLimit = input.ConsumeIntegralInRange<std::int64_t>(-3, 40);
    bool usable = false;
    SplicerOptions options = sortSplicerArguments(arguments, usable);
    if (!usable)
        return 0;
    // All files are valid and apart, so the pass never meets a failure that would end the run.
    options.editedPath = scratch.at("source");
    options.newFileGiven = true;
    options.outputPath = scratch.at("output");
    if (options.textFromFile)
        options.text = scratch.at("text"); // also for "@" alone, which would read standard input
    writeBytes(scratch.at("text"), input.ConsumeRandomLengthString(300));
    std::string source = input.ConsumeRemainingBytesAsString();
    writeBytes(options.editedPath, source);

    std::string output = passOutput(options);
    FUZZ_CHECK(passOutput(options, tinyLimit) == output);
    FUZZ_CHECK(passOutput(options, {}, true) == output);

    std::vector<std::string> lines = linesOf(source);
    std::string unchanged;
    for (const std::string &line : lines)
        unchanged += line + "\r\n";
    if (lines.empty())
        unchanged = "\r\n"; // a pass makes at least one line
    if (options.position == PositionMode::searchHit && !anyLineHolds(lines, options))
        FUZZ_CHECK(output == unchanged);
    if (options.position == PositionMode::lastLine && options.replace && options.text.empty() &&
        !options.textFromFile)
        FUZZ_CHECK(output == unchanged);
    return 0;
}
