#include "unchanged_lines.h"

#include "foundation/arguments.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t none = std::string_view::npos;

// What in the lines ahead makes the pass look at a line itself.
struct Stops {
    bool hits = false;    // a line that holds the search string
    bool headers = false; // a group header
};

// A search string that the lines ahead can be searched for as a whole: it cannot reach from one
// line into the next, and it is found in the middle of a line only.
bool searchableAcrossLines(const std::string &needle) {
    return !needle.empty() && needle.find_first_of("\r\n") == none;
}

// False when every line must go through the pass one by one.
bool stopsFor(const PassState &state, const SplicerOptions &options, Stops &stops) {
    stops.headers = options.groupGiven && state.scopeState != 2;
    switch (state.scopeState) {
    case 1: // outside the wanted group: only a header can change that
    case 2: // finished: nothing is edited any more
        return true;
    default:
        switch (options.position) {
        case PositionMode::searchHit:
            stops.hits = true;
            return searchableAcrossLines(options.searchString);
        case PositionMode::lastLine:
            // Without a group the edit comes after the last line: every line before passes.
            // In a group, blank lines in front of the header that ends it are held back.
            return !options.groupGiven;
        default:
            return false; // the first line of the file or group is edited
        }
    }
}

// Start of the line that holds position at: the position after the CR LF that last comes
// before it, or 0.
std::size_t lineStart(std::string_view text, std::size_t at) {
    for (std::size_t i = at; i > 0; --i)
        if (text[i - 1] == '\r')
            return i + 1;
    return 0;
}

// True when the CR at i ends a line that the pass must look at: no LF follows it, or with
// headers a "[" begins the next line. text holds a byte after i.
bool irregularAt(std::string_view text, std::size_t i, bool headers) {
    if (text[i] != '\r')
        return false;
    if (text[i + 1] != '\n')
        return true;
    return headers && i + 2 < text.size() && text[i + 2] == '[';
}

// True when the search string (upper-cased unless caseSensitive) begins at i and ends in text.
bool hitAt(std::string_view text, std::size_t i, const std::string &needle, bool caseSensitive) {
    if (i + needle.size() > text.size())
        return false;
    for (std::size_t k = 0; k < needle.size(); ++k) {
        char byte = text[i + k];
        if ((caseSensitive ? byte : toUpperAsciiByte(byte)) != needle[k])
            return false;
    }
    return true;
}

// A byte of the search string as a quick test: byte | caseBit == value | caseBit holds for every
// byte that the search would take for it (for a letter without case-sensitivity, both cases).
struct QuickByte {
    unsigned char value = 0;
    unsigned char caseBit = 0;
};

QuickByte quickByte(char c, bool caseSensitive) {
    auto value = static_cast<unsigned char>(c);
    bool letter = value >= 'A' && value <= 'Z';
    unsigned char caseBit = !caseSensitive && letter ? 0x20 : 0;
    return {static_cast<unsigned char>(value | caseBit), caseBit};
}

// A place in the lines ahead where the pass must look itself.
struct Stop {
    std::size_t at = none;
    bool hit = false; // a hit begins at at; else the CR at at is irregular
};

// The stop at position i, if there is one there. text holds a byte after i.
Stop stopAt(std::string_view text, std::size_t i, const Stops &stops,
            const SplicerOptions &options) {
    if (text[i] == '\r') {
        if (irregularAt(text, i, stops.headers))
            return {i, false};
    } else if (stops.hits && hitAt(text, i, options.searchString, options.caseSensitive)) {
        return {i, true};
    }
    return {};
}

// The first stop before end (text holds a byte after end - 1): a CR that irregularAt, or with
// hits the start of a search hit that ends in text.
Stop firstStop(std::string_view text, std::size_t end, const Stops &stops,
               const SplicerOptions &options) {
    const std::string &needle = options.searchString;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    // A group of positions is first tested branch-free (the compiler runs the test on many bytes
    // at once): the CR's next two bytes, and the first and last byte of a hit. Its flags are then
    // looked at eight at a time, and only a flagged position is looked at closely.
    constexpr std::size_t group = 64;
    std::size_t last = stops.hits ? needle.size() - 1 : 0;
    std::size_t reach = std::max<std::size_t>(2, last); // bytes the test reads after a position
    std::size_t tested = text.size() > reach ? std::min(end, text.size() - reach) : 0;
    unsigned char hitMask = stops.hits ? 1 : 0;
    unsigned char headerMask = stops.headers ? 1 : 0;
    QuickByte first, final;
    if (stops.hits) {
        first = quickByte(needle.front(), options.caseSensitive);
        final = quickByte(needle.back(), options.caseSensitive);
    }
    std::size_t i = 0;
    for (; i + group <= tested; i += group) {
        unsigned char flags[group];
        for (std::size_t k = 0; k < group; ++k) {
            const unsigned char *at = bytes + i + k;
            flags[k] = static_cast<unsigned char>(
                ((at[0] == '\r') & ((at[1] != '\n') | (headerMask & (at[2] == '[')))) |
                (hitMask & ((at[0] | first.caseBit) == first.value) &
                 ((at[last] | final.caseBit) == final.value)));
        }
        for (std::size_t k = 0; k < group; k += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, flags + k, sizeof eight);
            if (eight == 0)
                continue;
            for (std::size_t flagged = k; flagged < k + 8; ++flagged) {
                if (flags[flagged] == 0)
                    continue;
                Stop stop = stopAt(text, i + flagged, stops, options);
                if (stop.at != none)
                    return stop;
            }
        }
    }
    for (; i < end; ++i) {
        Stop stop = stopAt(text, i, stops, options);
        if (stop.at != none)
            return stop;
    }
    return {};
}

} // namespace

void passUnchangedLines(PassState &state, const SplicerOptions &options) {
    Stops stops;
    if (!state.skipUnchangedLines || !stopsFor(state, options, stops))
        return;
    std::string_view ahead = readAhead(state.inputFile);
    checkIo();
    if (ahead.size() < 2 || (stops.headers && ahead[0] == '['))
        return;
    // Every CR but a last byte is looked at; a hit in the last line, which is not yet whole,
    // stops at that line's start like the end of what is whole.
    Stop stop = firstStop(ahead, ahead.size() - 1, stops, options);
    std::size_t taken;
    if (stop.hit) {
        taken = lineStart(ahead, stop.at);
    } else if (stop.at != none) {
        // A header's line begins after the CR LF; a lone CR ends a line the pass must read.
        taken = ahead[stop.at + 1] == '\n' ? stop.at + 2 : lineStart(ahead, stop.at);
    } else {
        // Lines are whole up to the last CR that has a byte after it, which is an LF here.
        std::size_t lastReturn = ahead.rfind('\r', ahead.size() - 2);
        taken = lastReturn == none ? 0 : lastReturn + 2;
    }
    if (taken == 0)
        return;
    insertAtCursor(state, ahead.substr(0, taken));
    takeReadAhead(state.inputFile, taken);
}
