// VALPICK's lookup over any file with any group, name and switches: a value it finds is a piece
// of one line of the file (with /LINE a whole line; trimmed of blanks unless /FULL).
#include "foundation/line_file.h"
#include "fuzz_support.h"
#include "platform.h"
#include "valpick/lookup.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const ScratchDirectory scratch;

// A positional argument: never empty, no zero byte, no double quote, no leading "/".
std::string positional(FuzzedDataProvider &input) {
    std::string text = input.ConsumeRandomLengthString(12);
    std::erase(text, '\0');
    std::erase(text, '"');
    if (text.empty() || text[0] == '/')
        text.insert(0, "x");
    return text;
}

// VALPICK keeps its file open until the program ends; in one process that runs lookup after
// lookup, the descriptor (the lowest one free when it was opened) is closed after each.
void closeLookupFile(int descriptor, const std::string &path) {
    struct stat held, named;
    FUZZ_CHECK(fstat(descriptor, &held) == 0 && stat(path.c_str(), &named) == 0 &&
               held.st_ino == named.st_ino && held.st_dev == named.st_dev);
    platform::closeHandle(descriptor);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::string> arguments = {"file", positional(input), positional(input)};
    if (input.ConsumeBool())
        arguments.push_back("/FULL");
    if (input.ConsumeBool())
        arguments.push_back("/LINE");
    if (input.ConsumeBool())
        arguments.push_back("/DEF=" + positional(input));
    ValpickOptions options = sortValpickArguments(arguments);
    FUZZ_CHECK(options.positionalCount == 3);
    options.fileName = scratch.at("ini");
    std::string file = input.ConsumeRemainingBytesAsString();
    writeBytes(options.fileName, file);

    int freeDescriptor = ::open("/dev/null", O_RDONLY);
    ::close(freeDescriptor);
    std::string defaultValue = options.value;
    ioResult = 0;
    findValue(options);
    FUZZ_CHECK(ioResult == 0);
    closeLookupFile(freeDescriptor, options.fileName);

    if (options.value == defaultValue)
        return 0; // not found, or found equal to the default
    bool piece = false;
    for (const std::string &line : linesOf(file))
        piece = piece || (options.wholeLine ? line == options.value
                                            : line.find(options.value) != std::string::npos);
    FUZZ_CHECK(piece);
    if (!options.wholeLine && !options.full && !options.value.empty())
        FUZZ_CHECK(options.value.front() != ' ' && options.value.back() != ' ');
    return 0;
}
