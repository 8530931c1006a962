// Text files read and written line by line, standard output, the I/O result and the fatal stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class LineFileState { unassigned, closed, reading, writing };

// One file, or a console stream when its name is empty (standard input for reading, standard
// output for writing). Every byte passes through its buffer; see the operations below.
struct LineFile {
    std::string name;
    LineFileState state = LineFileState::unassigned;
    std::intptr_t handle = -1;
    std::vector<char> buffer;     // reading: the block last read; writing: bytes not yet written
    std::size_t taken = 0;        // reading: bytes of buffer already taken
    std::size_t held = 0;         // bytes that buffer holds
    bool dataEnded = false;       // reading: an empty read or a ^Z ended the data; no more reads
    bool console = false;         // opened on a standard handle, which closing keeps open
    bool characterDevice = false; // writing: every write operation ends with the write-out
    bool durable = false; // writing: a replacement, which reaches stable storage when closed
};

// Bytes move in blocks of this size; a run of whole blocks may leave in one system call.
constexpr std::size_t lineFileBlockSize = 128;

// The I/O result: 0 while no operation has failed, else the number of the latest failure.
extern thread_local int ioResult;

// Standard output of the program; opens itself for writing at its first write.
extern LineFile consoleOutput;

// Binds name (up to its first zero byte) to f, empties the buffer, state closed. Never fails.
void assignName(LineFile &f, std::string_view name);

// Opens the existing file of f's name (standard input for the empty name) for reading from its
// first byte, closing f first if it is open. Others may still open the file for writing unless
// denyWriters is set. Fails with 102 when f is unassigned, else with the system's number.
void openForReading(LineFile &f, bool denyWriters = false);

// Creates the file of f's name or empties it (standard output for the empty name), closing f
// first if it is open. With replacedFile, an open file that the new one is to replace: the new
// file takes its permission bits, is never reached through a link, stays reserved against other
// runs until it is renamed, and reaches stable storage when it is closed. Fails with 102, 105 or
// the system's number.
void openForWriting(LineFile &f, const LineFile *replacedFile = nullptr);

// The next line without its line end (CR, or CR LF), which is consumed. Fails with 104.
std::string readLine(LineFile &f);

// readLine into line, replacing its content and reusing its memory.
void readLineInto(LineFile &f, std::string &line);

// True when no more line data can be read: the end of the data or a ^Z next. Fails with 104.
bool atEnd(LineFile &f);

// The bytes that f has read ahead of the next read, up to the end of the data (never a ^Z), so
// that a reader may take many whole lines at once; refills the buffer first when all of it is
// taken. Empty exactly when atEnd(f). Fails with 104 when f is not reading.
std::string_view readAhead(LineFile &f);

// Takes the first count bytes of readAhead(f), as reading them would.
void takeReadAhead(LineFile &f, std::size_t count);

// Writes the bytes of text. Fails with 103 (not open) or 105 (reading) or the system's number.
void writeText(LineFile &f, std::string_view text);

// Writes the bytes of text, then CR LF.
void writeLine(LineFile &f, std::string_view text);

// Writes out what the buffer holds (to stable storage for a replacement) and closes f; a console
// file keeps its standard handle and stays open. Fails with 103 when f is not open.
void close(LineFile &f);

// Deletes the file of f's name, whatever f's state. Fails with 102 or the system's number.
void eraseFile(LineFile &f);

// Gives the closed file of f's name the name newName, which must not exist yet; f then bears
// newName. Fails with 102 when f is not closed, else with the system's number (183: exists).
void renameFile(LineFile &f, std::string_view newName);

// First statement of each program: ioResult and exit code 0, consoleOutput made closed.
void startConsoleProgram();

// Ends the run through fatalIoError(ioResult) when ioResult is not 0; reports the place right
// after its own call.
void checkIo();

// The fatal stop: the runtime-error report on standard output, exit code number.
[[noreturn]] void fatalIoError(int number);

// The normal end: standard output written out and closed, exit code 0. Should that last
// write-out fail, the run ends through the fatal stop with its number instead.
[[noreturn]] void endProgram();

// The report line for number at place, without line end: "Runtime error   2 at 0000ABCD".
std::string runtimeErrorReport(int number, std::uint32_t place);
