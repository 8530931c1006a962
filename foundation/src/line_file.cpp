#include "foundation/line_file.h"

#include "platform.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(_MSC_VER)
#include <intrin.h>
#define CALLER_ADDRESS() _ReturnAddress()
#define NO_INLINE __declspec(noinline)
#else
#define CALLER_ADDRESS() __builtin_return_address(0)
#define NO_INLINE __attribute__((noinline))
#endif

thread_local int ioResult = 0;
LineFile consoleOutput;

namespace {

constexpr char carriageReturn = '\r';
constexpr char lineFeed = '\n';
constexpr char endOfText = 26; // ^Z: no byte from here on is data

// A regular file may be read in larger blocks, since nothing can see the difference.
constexpr std::size_t diskReadBlockSize = 64 * 1024;

// Room for the bytes of a write operation, so that its whole blocks leave in one system call
// (a multiple of the block; a window flush of SPLICER fits).
constexpr std::size_t writeBufferSize = 128 * lineFileBlockSize;

int exitCode = 0;

// A file name ends at its first zero byte.
std::string_view nameUpToZero(std::string_view name) {
    return name.substr(0, name.find('\0'));
}

void failWithSystemError() {
    ioResult = static_cast<int>(platform::lastError());
}

// Reading: makes a byte available in the buffer; false at the end of the data (or on a failed
// read, which the operation that asked sees as the end). A ^Z ends the data: the buffer never
// holds it or anything after it, and nothing more is read.
bool fill(LineFile &f) {
    if (f.taken < f.held)
        return true;
    if (f.dataEnded)
        return false;
    std::size_t count = 0;
    if (!platform::readFile(f.handle, f.buffer.data(), f.buffer.size(), count)) {
        failWithSystemError();
        f.taken = f.held = 0;
        return false;
    }
    f.taken = 0;
    f.held = count;
    if (const void *stop = std::memchr(f.buffer.data(), endOfText, count))
        f.held = static_cast<std::size_t>(static_cast<const char *>(stop) - f.buffer.data());
    if (f.held < count || count == 0)
        f.dataEnded = true;
    return f.held > 0;
}

// The room for a line that needs more than room. Each growth copies the line into fresh memory,
// which costs far more than room that is never touched: a long line's room grows sixteen-fold,
// but never beyond 16 MiB or twice what the line needs, whichever is more.
std::size_t grownRoom(std::size_t room, std::size_t needed) {
    constexpr std::size_t generousUpTo = 16 * 1024 * 1024;
    return std::max(needed, std::min(16 * room, std::max(generousUpTo, 2 * needed)));
}

// Writing: one system call for size bytes; a failure drops them.
void writeOut(LineFile &f, const char *data, std::size_t size) {
    if (size > 0 && !platform::writeFile(f.handle, data, size))
        failWithSystemError();
}

// Appends bytes to the buffer; when it returns, every whole block has left and the buffer holds
// only the last partial one. Whole blocks leave together in one call: those that fit the buffer
// after the bytes it held, then those that follow straight from data.
void putBytes(LineFile &f, const char *data, std::size_t size) {
    if (f.held > 0) {
        // The buffer's size is a multiple of the block: filled up, it holds whole blocks only.
        std::size_t taken = std::min(size, f.buffer.size() - f.held);
        std::memcpy(f.buffer.data() + f.held, data, taken);
        f.held += taken;
        data += taken;
        size -= taken;
        std::size_t whole = f.held - f.held % lineFileBlockSize;
        writeOut(f, f.buffer.data(), whole);
        std::memmove(f.buffer.data(), f.buffer.data() + whole, f.held - whole);
        f.held -= whole;
    }
    if (size > 0) { // the buffer is empty here
        std::size_t whole = size - size % lineFileBlockSize;
        writeOut(f, data, whole);
        std::memcpy(f.buffer.data(), data + whole, size - whole);
        f.held = size - whole;
    }
}

// Checks that f may be written, opening consoleOutput at its first use.
bool readyToWrite(LineFile &f) {
    if (f.state != LineFileState::writing && &f == &consoleOutput)
        openForWriting(f);
    if (f.state == LineFileState::writing)
        return true;
    ioResult = f.state == LineFileState::reading ? 105 : 103;
    return false;
}

void endWriteOperation(LineFile &f) {
    if (f.characterDevice && f.held > 0) {
        writeOut(f, f.buffer.data(), f.held);
        f.held = 0;
    }
}

// Prepares f for a new open: an open f is closed first, its failure kept in ioResult.
bool prepareOpen(LineFile &f) {
    if (f.state == LineFileState::unassigned) {
        ioResult = 102;
        return false;
    }
    if (f.state == LineFileState::reading || f.state == LineFileState::writing)
        close(f);
    f.state = LineFileState::closed;
    f.handle = platform::invalidHandle;
    f.taken = f.held = 0;
    f.dataEnded = false;
    f.console = f.name.empty();
    f.characterDevice = false;
    f.durable = false;
    return true;
}

[[noreturn]] void fatalStop(int number, std::uint32_t place) {
    // Making the report needs memory too: when that fails as well, the run ends at once with
    // the number of the first stop, its report lost as on an unusable standard output.
    static bool stopping = false;
    if (stopping)
        platform::exitProcess(static_cast<unsigned>(exitCode));
    stopping = true;
    exitCode = number;
    int savedResult = ioResult;
    writeLine(consoleOutput, runtimeErrorReport(number, place)); // not tested: may be lost
    if (consoleOutput.state == LineFileState::writing)
        close(consoleOutput);
    ioResult = savedResult;
    platform::exitProcess(static_cast<unsigned>(exitCode));
}

NO_INLINE void outOfMemory() {
    fatalStop(203, platform::codeOffset(CALLER_ADDRESS()));
}

} // namespace

void assignName(LineFile &f, std::string_view name) {
    f.name.assign(nameUpToZero(name));
    f.state = LineFileState::closed;
    f.handle = platform::invalidHandle;
    f.taken = f.held = 0;
    f.dataEnded = false;
}

void openForReading(LineFile &f, bool denyWriters) {
    // Standard input cannot be read again from its start: it goes on where it stands, so a
    // second reading finds it at its end.
    if (f.console && f.state == LineFileState::reading)
        return;
    if (!prepareOpen(f))
        return;
    platform::Handle handle =
        f.console ? platform::standardHandle(platform::Access::read)
                  : platform::createFile(f.name, platform::Access::read,
                                         denyWriters ? platform::shareNone : platform::shareWrite,
                                         platform::invalidHandle);
    if (handle == platform::invalidHandle) {
        failWithSystemError();
        return;
    }
    bool disk = !f.console && platform::fileType(handle) == platform::fileTypeDisk;
    f.buffer.resize(disk ? diskReadBlockSize : lineFileBlockSize);
    f.handle = handle;
    f.state = LineFileState::reading;
}

void openForWriting(LineFile &f, const LineFile *replacedFile) {
    if (!prepareOpen(f))
        return;
    platform::Handle model =
        replacedFile != nullptr && replacedFile->state == LineFileState::reading
            ? replacedFile->handle
            : platform::invalidHandle;
    platform::Handle handle = f.console ? platform::standardHandle(platform::Access::write)
                                        : platform::createFile(f.name, platform::Access::write,
                                                               platform::shareRead, model);
    if (handle == platform::invalidHandle) {
        failWithSystemError();
        return;
    }
    int type = platform::fileType(handle);
    if (type == platform::fileTypeUnknown) {
        if (!f.console)
            platform::closeHandle(handle);
        ioResult = 105;
        return;
    }
    f.buffer.resize(writeBufferSize);
    f.handle = handle;
    f.characterDevice = type == platform::fileTypeCharacter;
    f.durable = model != platform::invalidHandle;
    f.state = LineFileState::writing;
}

std::string readLine(LineFile &f) {
    std::string line;
    readLineInto(f, line);
    return line;
}

void readLineInto(LineFile &f, std::string &line) {
    line.clear();
    if (f.state != LineFileState::reading) {
        ioResult = 104;
        return;
    }
    // Take bytes up to the next CR or the end of the data (which a ^Z makes, see fill).
    while (fill(f)) {
        const char *start = f.buffer.data() + f.taken;
        std::size_t available = f.held - f.taken;
        const void *cr = std::memchr(start, carriageReturn, available);
        std::size_t length =
            cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - start) : available;
        if (line.capacity() - line.size() < length)
            line.reserve(grownRoom(line.capacity(), line.size() + length));
        line.append(start, length);
        f.taken += length;
        if (cr)
            break;
    }
    // Consume the line end: the CR and one LF right after it.
    if (fill(f) && f.buffer[f.taken] == carriageReturn) {
        ++f.taken;
        if (fill(f) && f.buffer[f.taken] == lineFeed)
            ++f.taken;
    }
}

bool atEnd(LineFile &f) {
    // Nothing read ahead after a refill is the end of the data (or a ^Z next).
    return readAhead(f).empty();
}

std::string_view readAhead(LineFile &f) {
    if (f.state != LineFileState::reading) {
        ioResult = 104;
        return {};
    }
    if (!fill(f))
        return {};
    return {f.buffer.data() + f.taken, f.held - f.taken};
}

void takeReadAhead(LineFile &f, std::size_t count) {
    f.taken += std::min(count, f.held - f.taken);
}

void writeText(LineFile &f, std::string_view text) {
    if (!readyToWrite(f))
        return;
    putBytes(f, text.data(), text.size());
    endWriteOperation(f);
}

void writeLine(LineFile &f, std::string_view text) {
    if (!readyToWrite(f))
        return;
    putBytes(f, text.data(), text.size());
    putBytes(f, "\r\n", 2);
    endWriteOperation(f);
}

void close(LineFile &f) {
    switch (f.state) {
    case LineFileState::reading:
        if (f.console)
            return;
        if (!platform::closeHandle(f.handle))
            failWithSystemError();
        break;
    case LineFileState::writing:
        if (f.held > 0) {
            bool written = platform::writeFile(f.handle, f.buffer.data(), f.held);
            f.held = 0;
            if (!written) {
                failWithSystemError();
                return; // stays open with its handle
            }
        }
        if (f.console)
            return;
        {
            // A replacement reaches stable storage before the file it replaces is erased.
            unsigned failure = 0;
            if (f.durable && !platform::flushFile(f.handle))
                failure = platform::lastError();
            if (!platform::closeHandle(f.handle) && failure == 0)
                failure = platform::lastError();
            if (failure != 0)
                ioResult = static_cast<int>(failure);
        }
        break;
    default:
        ioResult = 103;
        return;
    }
    f.handle = platform::invalidHandle;
    f.state = LineFileState::closed;
}

void eraseFile(LineFile &f) {
    if (f.state == LineFileState::unassigned) {
        ioResult = 102;
        return;
    }
    if (!platform::deleteFile(f.name))
        failWithSystemError();
}

void renameFile(LineFile &f, std::string_view newName) {
    if (f.state != LineFileState::closed) {
        ioResult = 102;
        return;
    }
    if (!platform::moveFile(f.name, newName)) {
        failWithSystemError();
        return;
    }
    f.name.assign(nameUpToZero(newName));
}

void startConsoleProgram() {
    ioResult = 0;
    exitCode = 0;
    consoleOutput = LineFile{};
    assignName(consoleOutput, "");
    std::set_new_handler(outOfMemory);
}

NO_INLINE void checkIo() {
    if (ioResult != 0)
        fatalStop(ioResult, platform::codeOffset(CALLER_ADDRESS()));
}

NO_INLINE void fatalIoError(int number) {
    fatalStop(number, platform::codeOffset(CALLER_ADDRESS()));
}

NO_INLINE void endProgram() {
    exitCode = 0;
    if (consoleOutput.state == LineFileState::writing) {
        ioResult = 0;
        close(consoleOutput);
        // Output that never arrived is a failure, not a normal end.
        if (ioResult != 0)
            fatalStop(ioResult, platform::codeOffset(CALLER_ADDRESS()));
    }
    platform::exitProcess(0);
}

std::string runtimeErrorReport(int number, std::uint32_t place) {
    // "Runtime error", the number right-aligned in three columns (longer numbers widen the
    // line), "at" and eight upper-case hexadecimal digits.
    std::string digits = std::to_string(number);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), ' ');
    static const char hex[] = "0123456789ABCDEF";
    std::string where(8, '0');
    for (int i = 7; i >= 0; --i, place >>= 4)
        where[static_cast<std::size_t>(i)] = hex[place & 15];
    return "Runtime error " + digits + " at " + where;
}
