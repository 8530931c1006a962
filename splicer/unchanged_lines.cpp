#include "unchanged_lines.h"

#include "foundation/arguments.h"

#include <algorithm>
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
    case 2: // finished: nothing is edited any more
        return true;
    case 1: // outside the wanted group: only a header can change that
        return true;
    default:
        stops.hits = true;
        return options.position == PositionMode::searchHit &&
               searchableAcrossLines(options.searchString);
    }
}

// Start of the line that holds position at, not before from: the position after the CR LF that
// last comes before it.
std::size_t lineStart(std::string_view text, std::size_t from, std::size_t at) {
    for (std::size_t i = at; i > from; --i)
        if (text[i - 1] == '\r')
            return i + 1;
    return from;
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

// Index of the first CR in [from, to) that irregularAt, or none. text holds a byte after to - 1.
std::size_t firstIrregular(std::string_view text, std::size_t from, std::size_t to, bool headers) {
    // A branch-free test of the whole piece first (the compiler runs it on many bytes at once),
    // over the indexes whose next two bytes exist; the exact place only when it finds something.
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t checked = std::min(to, text.size() - 2);
    unsigned char header = headers ? 1 : 0;
    unsigned char found = 0;
    for (std::size_t i = from; i < checked; ++i)
        found |= static_cast<unsigned char>(
            (bytes[i] == '\r') & ((bytes[i + 1] != '\n') | (header & (bytes[i + 2] == '['))));
    if (found == 0 && checked == to)
        return none;
    for (std::size_t i = from; i < to; ++i)
        if (irregularAt(text, i, headers))
            return i;
    return none;
}

// Index of the first occurrence of the search string that begins in [from, to) and ends before
// end, or none. A string folded for the search goes into folded.
std::size_t firstHit(std::string_view text, std::size_t from, std::size_t to, std::size_t end,
                     const SplicerOptions &options, std::string &folded) {
    const std::string &needle = options.searchString;
    std::string_view piece = text.substr(from, std::min(to + needle.size() - 1, end) - from);
    std::size_t hit;
    if (options.caseSensitive) {
        hit = piece.find(needle);
    } else {
        toUpperAsciiInto(piece, folded);
        hit = std::string_view(folded).find(needle);
    }
    return hit == none ? none : from + hit;
}

// The first pieces are short, since a hit is often near; each further one is twice as long, so
// that every byte is looked at about once.
constexpr std::size_t firstPieceSize = 256;

} // namespace

void passUnchangedLines(PassState &state, const SplicerOptions &options) {
    Stops stops;
    if (!state.skipUnchangedLines || !stopsFor(state, options, stops))
        return;
    std::string_view ahead = readAhead(state.inputFile);
    checkIo();
    // Lines are whole up to the last CR that has a byte after it (an LF, unless it is irregular).
    if (ahead.size() < 2 || (stops.headers && ahead[0] == '['))
        return;
    std::size_t lastReturn = ahead.rfind('\r', ahead.size() - 2);
    if (lastReturn == none)
        return;
    std::size_t end = lastReturn + 1;
    std::size_t taken = lastReturn + 2;
    std::size_t pieceSize = firstPieceSize;
    for (std::size_t from = 0; from < end; from += pieceSize, pieceSize *= 2) {
        std::size_t to = std::min(end, from + pieceSize);
        std::size_t irregular = firstIrregular(ahead, from, to, stops.headers);
        std::size_t hit = stops.hits ? firstHit(ahead, from, to, lastReturn, options,
                                                state.searchedLine)
                                     : none;
        if (hit != none && (irregular == none || hit < irregular)) {
            taken = lineStart(ahead, 0, hit);
            break;
        }
        if (irregular != none) {
            // A header's line begins after the CR LF; a lone CR ends a line the pass must read.
            taken = ahead[irregular + 1] == '\n' ? irregular + 2 : lineStart(ahead, 0, irregular);
            break;
        }
    }
    if (taken == 0)
        return;
    insertAtCursor(state, ahead.substr(0, taken));
    takeReadAhead(state.inputFile, taken);
}
