// The sliding edit window through which every line passes from the source to the output, and
// the state of SPLICER's one pass over the source.
#pragma once

#include "foundation/line_file.h"

#include <cstdint>
#include <string>
#include <string_view>

// The window's text is the finished text (before the cursor, written out at the next flush)
// followed by the unfinished rest of the current line with its CR LF (from the cursor on). The
// two are held apart, so that edits at the cursor never move the text around them.
struct EditWindow {
    std::string finished;         // text before the cursor
    std::string unfinishedBuffer; // holds the text from the cursor on, from unfinishedStart
    std::size_t unfinishedStart = 0;
    std::int64_t limit = 10240; // finished text plus a piece about to go in, before a flush
};

// The state of the single pass over the source file.
struct PassState {
    LineFile inputFile;  // the source, read
    LineFile outputFile; // the result, written only by flushWindow
    LineFile textFile;   // the "@" file of the insert text
    std::string_view currentLine; // the line last read, in the window's buffer, until the next read
    std::string textLine;         // a line of the "@" file, read for an insert
    std::string searchedLine; // a piece of the current line, upper-cased for the search
    int scopeState = 0;       // 0 in scope, 1 outside the wanted group, 2 finished
    int heldBlankLines = 0;   // blank lines taken out of the window in front of the current line
    bool skipUnchangedLines = true; // whole lines that no edit touches pass at once (off: every
                                    // line goes through the pass one by one)
    EditWindow window;
};

// The finished window limit for a search string of searchLength characters.
std::int64_t windowLimitFor(std::size_t searchLength);

// 1-based position of the cursor in the window's text.
std::int64_t cursor(const EditWindow &window);

// The text from the cursor to the end of the window.
std::string_view unfinishedText(const EditWindow &window);

// The whole text of the window.
std::string content(const EditWindow &window);

// Writes the finished text to outputFile in one write and removes it; the cursor goes to 1.
void flushWindow(PassState &state);

// Flushes when the finished text plus n characters would exceed the limit.
void ensureRoom(PassState &state, std::int64_t n);

// Makes everything in the window finished.
void cursorToEnd(PassState &state);

// Moves the cursor n characters forward, over unfinished text.
void advanceCursor(PassState &state, std::int64_t n);

// Removes n characters at the cursor (fewer when the window ends sooner); the cursor stays.
void deleteAtCursor(PassState &state, std::int64_t n);

// Reads the next line of inputFile and puts it with CR LF at the cursor (currentLine shows it);
// the cursor stays in front of it.
void readLineIntoWindow(PassState &state);

// Puts s at the cursor, after making room, and moves the cursor past it.
void insertAtCursor(PassState &state, std::string_view s);

// insertAtCursor of s followed by CR LF.
void insertLineAtCursor(PassState &state, std::string_view s);
