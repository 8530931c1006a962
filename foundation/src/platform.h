// The one door to the operating system. Each function is shaped after the Windows call named in
// its comment; on POSIX the same promises hold, and every error is a Windows error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using Handle = std::intptr_t;
constexpr Handle invalidHandle = -1;

enum class Access { read, write };

// Share flags of an open, as CreateFileA takes them.
constexpr unsigned shareNone = 0;
constexpr unsigned shareRead = 1;
constexpr unsigned shareWrite = 2;

// File types, as GetFileType answers.
constexpr int fileTypeUnknown = 0;
constexpr int fileTypeDisk = 1;
constexpr int fileTypeCharacter = 2;
constexpr int fileTypePipe = 3;

// GetCommandLineA: the whole command line, program name first, ending at its first zero byte.
const std::string &commandLine();

// GetModuleFileNameA: the full path of the executable; empty when the system cannot say.
std::string modulePath();

// CreateFileA: opens an existing file for reading, or creates or empties one for writing.
// share says what other opens of the same file may do meanwhile. templateFile, when valid, is an
// open file that the new one replaces: its permission bits are taken over, the name is opened
// without following a link, and the file stays reserved until it is moved. Refuses, changing
// nothing, an open that the sharing of another open forbids (32). invalidHandle on failure.
Handle createFile(std::string_view name, Access access, unsigned share, Handle templateFile);

// ReadFile: up to size bytes into buffer; count 0 is the end of the data.
bool readFile(Handle handle, char *buffer, std::size_t size, std::size_t &count);

// WriteFile: all size bytes of data.
bool writeFile(Handle handle, const char *data, std::size_t size);

// FlushFileBuffers: what was written to a disk file reaches stable storage. True for others.
bool flushFile(Handle handle);

// CloseHandle.
bool closeHandle(Handle handle);

// GetStdHandle: standard input (read) or standard output (write); invalidHandle on failure.
Handle standardHandle(Access access);

// GetFileType: one of the fileType numbers above; fileTypeUnknown for an unusable handle.
int fileType(Handle handle);

// DeleteFileA: fails on a read-only file (5) and on a file that is open (32).
bool deleteFile(std::string_view name);

// MoveFileA: never replaces an existing newName (183). The move is made durable.
bool moveFile(std::string_view name, std::string_view newName);

// GetLastError: the Windows error number of the latest failed call above.
unsigned lastError();

// ExitProcess.
[[noreturn]] void exitProcess(unsigned code);

// The offset of a code address from the start of the program's image: the same on every run of
// one binary.
std::uint32_t codeOffset(const void *address);

// The name of the file called fileName in the directory that holds path.
std::string siblingFileName(std::string_view path, std::string_view fileName);

// True where the file services ignore the case of names.
bool fileNamesIgnoreCase();

// Where path is a symbolic link, the path of its final target; otherwise path.
std::string linkTarget(std::string_view path);

} // namespace platform
