#include "foundation/arguments.h"

#include "platform.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char quote = '"';

// The byte at position, or 0 at and after the end of the text.
unsigned char byteAt(std::string_view text, std::size_t position) {
    return position < text.size() ? static_cast<unsigned char>(text[position]) : 0;
}

bool isSeparator(unsigned char byte) {
    return byte >= 1 && byte <= 32;
}

// Copies size bytes from in to out, upper-casing "a" to "z". Eight bytes are folded at a time as
// one 64-bit word, with no carry between its bytes: a byte is a lower-case letter when its top bit
// is clear, adding 128 - 'a' to its low seven bits sets the top bit, and adding 128 - 'z' - 1 does
// not; that top bit, moved to bit 5 (32, the case bit), upper-cases the letter.
void upperAsciiBytes(const char *in, char *out, std::size_t size) {
    constexpr std::uint64_t eachByte = 0x0101010101010101;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        std::uint64_t low = word & (0x7F * eachByte);
        std::uint64_t atLeastA = low + (0x80 - 'a') * eachByte;
        std::uint64_t aboveZ = low + (0x80 - 'z' - 1) * eachByte;
        std::uint64_t lowerCase = atLeastA & ~aboveZ & ~word & (0x80 * eachByte);
        word ^= lowerCase >> 2;
        std::memcpy(out + i, &word, 8);
    }
    for (; i < size; ++i)
        out[i] = toUpperAsciiByte(in[i]);
}

} // namespace

SplitResult splitArgument(std::string_view commandLine, std::size_t position) {
    std::size_t p = position;
    for (;;) {
        while (isSeparator(byteAt(commandLine, p)))
            ++p;
        // A pair of quotes where an argument would begin is skipped like a separator.
        if (byteAt(commandLine, p) == quote && byteAt(commandLine, p + 1) == quote) {
            p += 2;
            continue;
        }
        break;
    }
    std::string argument;
    for (unsigned char byte = byteAt(commandLine, p); byte > 32; byte = byteAt(commandLine, p)) {
        if (byte == quote) {
            ++p;
            std::size_t start = p;
            while (byteAt(commandLine, p) != 0 && byteAt(commandLine, p) != quote)
                ++p;
            argument.append(commandLine.substr(start, p - start));
            if (byteAt(commandLine, p) == quote)
                ++p;
        } else {
            argument += static_cast<char>(byte);
            ++p;
        }
    }
    return {std::move(argument), p};
}

int argumentCountIn(std::string_view commandLine) {
    std::size_t p = splitArgument(commandLine, 0).next;
    int count = 0;
    for (;;) {
        SplitResult split = splitArgument(commandLine, p);
        if (split.argument.empty())
            return count;
        ++count;
        p = split.next;
    }
}

std::string argumentIn(std::string_view commandLine, int index) {
    std::size_t p = 0;
    for (int number = 0;; ++number) {
        SplitResult split = splitArgument(commandLine, p);
        if (number > 0 && split.argument.empty())
            return std::string();
        if (number == index)
            return index == 0 ? std::string() : std::move(split.argument);
        p = split.next;
    }
}

int argumentCount() {
    return argumentCountIn(platform::commandLine());
}

std::string argumentAt(int index) {
    if (index == 0)
        return platform::modulePath();
    return argumentIn(platform::commandLine(), index);
}

std::vector<std::string> allArguments() {
    std::vector<std::string> arguments;
    int count = argumentCount();
    for (int i = 1; i <= count; ++i)
        arguments.push_back(argumentAt(i));
    return arguments;
}

std::string toUpperAscii(std::string_view text) {
    std::string result;
    toUpperAsciiInto(text, result);
    return result;
}

void toUpperAsciiInto(std::string_view text, std::string &result) {
    result.resize(text.size());
    upperAsciiBytes(text.data(), result.data(), text.size());
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string switchValue(std::string_view switchText, std::size_t prefixLength) {
    constexpr std::size_t maxSwitchValue = 999;
    return std::string(switchText.substr(prefixLength, maxSwitchValue));
}
