#include "edit_window.h"

#include <algorithm>

namespace {

constexpr std::int64_t windowSize = 10240;
constexpr std::string_view lineEnd = "\r\n";

std::int64_t unfinishedLength(const EditWindow &window) {
    return static_cast<std::int64_t>(window.unfinishedBuffer.size() - window.unfinishedStart);
}

} // namespace

std::int64_t windowLimitFor(std::size_t searchLength) {
    return windowSize - static_cast<std::int64_t>(searchLength);
}

std::int64_t cursor(const EditWindow &window) {
    return static_cast<std::int64_t>(window.finished.size()) + 1;
}

std::string_view unfinishedText(const EditWindow &window) {
    return std::string_view(window.unfinishedBuffer).substr(window.unfinishedStart);
}

std::string content(const EditWindow &window) {
    return window.finished + std::string(unfinishedText(window));
}

void flushWindow(PassState &state) {
    writeText(state.outputFile, state.window.finished);
    checkIo();
    state.window.finished.clear();
}

void ensureRoom(PassState &state, std::int64_t n) {
    if (n + cursor(state.window) > state.window.limit + 1)
        flushWindow(state);
}

void cursorToEnd(PassState &state) {
    EditWindow &w = state.window;
    w.finished.append(unfinishedText(w));
    w.unfinishedBuffer.clear();
    w.unfinishedStart = 0;
}

void advanceCursor(PassState &state, std::int64_t n) {
    EditWindow &w = state.window;
    std::int64_t count = std::clamp<std::int64_t>(n, 0, unfinishedLength(w));
    w.finished.append(w.unfinishedBuffer, w.unfinishedStart, static_cast<std::size_t>(count));
    w.unfinishedStart += static_cast<std::size_t>(count);
}

void deleteAtCursor(PassState &state, std::int64_t n) {
    EditWindow &w = state.window;
    w.unfinishedStart +=
        static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, unfinishedLength(w)));
}

void readLineIntoWindow(PassState &state) {
    readLineInto(state.inputFile, state.currentLine);
    checkIo();
    ensureRoom(state, static_cast<std::int64_t>(state.currentLine.size()) + 2);
    const std::string &line = state.currentLine;
    EditWindow &w = state.window;
    std::string rest(unfinishedText(w)); // empty when the pass reads: it reads at a line's end
    // The new text is written over the buffer in place; with room for all of it at once, a long
    // line is copied once.
    w.unfinishedBuffer.resize(line.size() + lineEnd.size() + rest.size());
    char *text = w.unfinishedBuffer.data();
    text = std::copy(line.begin(), line.end(), text);
    text = std::copy(lineEnd.begin(), lineEnd.end(), text);
    std::copy(rest.begin(), rest.end(), text);
    w.unfinishedStart = 0;
}

void insertAtCursor(PassState &state, std::string_view s) {
    ensureRoom(state, static_cast<std::int64_t>(s.size()));
    state.window.finished.append(s);
}

void insertLineAtCursor(PassState &state, std::string_view s) {
    std::string line(s);
    line.append(lineEnd);
    insertAtCursor(state, line);
}
