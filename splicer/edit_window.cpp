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
    w.unfinishedStart = w.unfinishedBuffer.size(); // the buffer keeps showing currentLine
}

void advanceCursor(PassState &state, std::int64_t n) {
    EditWindow &w = state.window;
    std::int64_t count = std::clamp<std::int64_t>(n, 0, unfinishedLength(w));
    w.finished.append(w.unfinishedBuffer.data() + w.unfinishedStart,
                      static_cast<std::size_t>(count));
    w.unfinishedStart += static_cast<std::size_t>(count);
}

void deleteAtCursor(PassState &state, std::int64_t n) {
    EditWindow &w = state.window;
    w.unfinishedStart +=
        static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, unfinishedLength(w)));
}

void readLineIntoWindow(PassState &state) {
    EditWindow &w = state.window;
    std::string rest(unfinishedText(w)); // empty when the pass reads: it reads at a line's end
    // The line is read straight into the window's buffer, so that a long line is held once.
    readLineInto(state.inputFile, w.unfinishedBuffer);
    checkIo();
    std::size_t length = w.unfinishedBuffer.size();
    ensureRoom(state, static_cast<std::int64_t>(length + lineEnd.size()));
    w.unfinishedBuffer.append(lineEnd);
    w.unfinishedBuffer.append(rest);
    w.unfinishedStart = 0;
    state.currentLine = std::string_view(w.unfinishedBuffer).substr(0, length);
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
