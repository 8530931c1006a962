// Win32 side of the platform seam. Every function is the kernel32 call it is named after: the
// share modes, read-only files, moves that never replace and the error numbers are the system's
// own. What this file adds is small: names longer than a LineFile holds are refused instead of
// shortened, a disk file is flushed before it is closed, a move is written through, and the end
// of a pipe is the end of the data.
#include "platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

extern "C" IMAGE_DOS_HEADER __ImageBase; // the first byte of the program's image (linker-made)

namespace platform {
namespace {

// A LineFile holds names of up to 259 characters: with the terminating zero that is the room
// of the ANSI file services (MAX_PATH).
constexpr std::size_t longestName = MAX_PATH - 1;

// GetModuleFileNameA is given room for 261 characters.
constexpr DWORD moduleNameRoom = 261;

unsigned latestError = 0;

// Keeps the number of the call that just failed; a failure that sets none still reports one.
void keepSystemError() {
    DWORD number = GetLastError();
    latestError = number != 0 ? number : ERROR_GEN_FAILURE;
}

HANDLE toSystem(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}
Handle fromSystem(HANDLE handle) {
    return reinterpret_cast<Handle>(handle);
}

// A zero-terminated copy of name, or false (206) when the file services could not take it whole.
bool systemName(std::string_view name, std::string &result) {
    if (name.size() > longestName) {
        latestError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    result.assign(name);
    return true;
}

// The file that a replacement takes its attributes from. A read-only file is no model: the
// result left behind when a read-only source cannot be erased must not block the next run.
HANDLE attributeModel(Handle templateFile) {
    if (templateFile == invalidHandle)
        return nullptr;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(toSystem(templateFile), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        return nullptr;
    return toSystem(templateFile);
}

} // namespace

const std::string &commandLine() {
    static const std::string line = GetCommandLineA();
    return line;
}

std::string modulePath() {
    char path[moduleNameRoom];
    DWORD length = GetModuleFileNameA(nullptr, path, moduleNameRoom);
    // A path that filled the whole room was cut: it would name another file.
    if (length == 0 || length >= moduleNameRoom)
        return std::string();
    return std::string(path, length);
}

Handle createFile(std::string_view name, Access access, unsigned share, Handle templateFile) {
    std::string path;
    if (!systemName(name, path))
        return invalidHandle;
    DWORD shareMode = ((share & shareRead) != 0 ? FILE_SHARE_READ : 0) |
                      ((share & shareWrite) != 0 ? FILE_SHARE_WRITE : 0);
    HANDLE handle =
        access == Access::read
            ? CreateFileA(path.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)
            : CreateFileA(path.c_str(), GENERIC_WRITE, shareMode, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, attributeModel(templateFile));
    if (handle == INVALID_HANDLE_VALUE) {
        keepSystemError();
        return invalidHandle;
    }
    return fromSystem(handle);
}

bool readFile(Handle handle, char *buffer, std::size_t size, std::size_t &count) {
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    if (!ReadFile(toSystem(handle), buffer, wanted, &got, nullptr)) {
        count = 0;
        // A pipe whose writer has gone has delivered all its data.
        if (GetLastError() == ERROR_BROKEN_PIPE)
            return true;
        keepSystemError();
        return false;
    }
    count = got;
    return true;
}

bool writeFile(Handle handle, const char *data, std::size_t size) {
    while (size > 0) {
        DWORD put = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(toSystem(handle), data, chunk, &put, nullptr)) {
            keepSystemError();
            return false;
        }
        if (put == 0) {
            latestError = ERROR_WRITE_FAULT; // the device took nothing and said nothing
            return false;
        }
        data += put;
        size -= put;
    }
    return true;
}

bool flushFile(Handle handle) {
    if (GetFileType(toSystem(handle)) != FILE_TYPE_DISK)
        return true;
    if (!FlushFileBuffers(toSystem(handle))) {
        keepSystemError();
        return false;
    }
    return true;
}

bool closeHandle(Handle handle) {
    if (!CloseHandle(toSystem(handle))) {
        keepSystemError();
        return false;
    }
    return true;
}

Handle standardHandle(Access access) {
    HANDLE handle = GetStdHandle(access == Access::read ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        // A process started without the handle gets NULL and no error number.
        if (handle == nullptr)
            SetLastError(ERROR_INVALID_HANDLE);
        keepSystemError();
        return invalidHandle;
    }
    return fromSystem(handle);
}

int fileType(Handle handle) {
    switch (GetFileType(toSystem(handle)) & ~FILE_TYPE_REMOTE) {
    case FILE_TYPE_DISK:
        return fileTypeDisk;
    case FILE_TYPE_CHAR:
        return fileTypeCharacter;
    case FILE_TYPE_PIPE:
        return fileTypePipe;
    default:
        return fileTypeUnknown;
    }
}

bool deleteFile(std::string_view name) {
    std::string path;
    if (!systemName(name, path))
        return false;
    if (!DeleteFileA(path.c_str())) {
        keepSystemError();
        return false;
    }
    return true;
}

bool moveFile(std::string_view name, std::string_view newName) {
    std::string from;
    std::string to;
    if (!systemName(name, from) || !systemName(newName, to))
        return false;
    // MoveFileA's own flags (copying across volumes, never replacing), and the move reaches
    // the disk before the call returns.
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
        keepSystemError();
        return false;
    }
    return true;
}

unsigned lastError() {
    return latestError;
}

void exitProcess(unsigned code) {
    ExitProcess(code);
}

std::uint32_t codeOffset(const void *address) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) -
                                      reinterpret_cast<std::uintptr_t>(&__ImageBase));
}

std::string siblingFileName(std::string_view path, std::string_view fileName) {
    // The file services drop the last name before ".." without looking at the disk.
    return std::string(path) + "\\..\\" + std::string(fileName);
}

bool fileNamesIgnoreCase() {
    return true;
}

std::string linkTarget(std::string_view path) {
    return std::string(path);
}

} // namespace platform
