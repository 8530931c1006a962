// Command-line arguments and ASCII case folding, shared by both programs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One argument split from a command line and the position right after it.
struct SplitResult {
    std::string argument;
    std::size_t next;
};

// Splits the next argument of commandLine from position on: separators are the bytes 1 to 32,
// double quotes group and are removed, and the text ends at its first zero byte. An empty
// argument means the command line ran out.
SplitResult splitArgument(std::string_view commandLine, std::size_t position);

// Number of arguments after the program name in commandLine.
int argumentCountIn(std::string_view commandLine);

// Argument index (1 and up) of commandLine, or empty when there is no such argument.
std::string argumentIn(std::string_view commandLine, int index);

// Number of arguments after the program name on this process's command line.
int argumentCount();

// Argument index of this process: 0 is the executable's full path, 1 to argumentCount() the
// arguments (never empty, never holding a double quote), anything else the empty string.
std::string argumentAt(int index);

// Arguments 1 to argumentCount() of this process, in order.
std::vector<std::string> allArguments();

// text with the bytes "a" to "z" replaced by their capitals; every other byte unchanged.
std::string toUpperAscii(std::string_view text);

// toUpperAscii of text into result, whose memory is reused; text must not overlap result.
void toUpperAsciiInto(std::string_view text, std::string &result);

// One byte as toUpperAscii gives it: "a" to "z" upper-cased, every other byte unchanged.
inline char toUpperAsciiByte(char byte) {
    return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - ('a' - 'A')) : byte;
}

// True when text begins with prefix: how a switch that ends in "=" is recognised.
bool startsWith(std::string_view text, std::string_view prefix);

// The value of a switch that ends in "=": the characters of switchText after its prefix of
// prefixLength characters, at most 999 of them.
std::string switchValue(std::string_view switchText, std::size_t prefixLength);
