// POSIX side of the platform seam. It gives the programs the Windows behaviour they rely on:
// one command-line string, Windows error numbers, share modes among the process's own open
// files, read-only files, moves that never replace, and the fixed temporary file reserved
// against a second run.
#include "platform.h"

#include "fault_injection.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" char __executable_start; // first byte of the program's image (GNU linkers)

namespace platform {
namespace {

// errno values and the Windows error numbers that the programs report for them.
struct ErrnoMapping {
    int errnoValue;
    unsigned windowsNumber;
};
constexpr ErrnoMapping errnoMap[] = {
    {ENOENT, 2},  // the file does not exist (3 when its directory does not: see below)
    {ENOTDIR, 3}, // a directory on the way does not exist
    {EACCES, 5},         {EPERM, 5},    {EISDIR, 5}, // access denied
    {EEXIST, 183},                                   // the name exists already
    {ENOSPC, 112},       {EDQUOT, 112},              // the disk is full
    {EFBIG, 223},                                    // the file would grow past what is allowed
    {ENAMETOOLONG, 206}, {EMFILE, 4},   {ENFILE, 4}, // too many open files
    {EBUSY, 32},         {ETXTBSY, 32},              // in use
    {EROFS, 19},                                     // write-protected medium
    {EBADF, 6},                                      // not a usable handle
    {EPIPE, 109},                                    // the reading end of the pipe is gone
    {EXDEV, 17},                                     // not the same device
    {ENOMEM, 8},         {EINVAL, 87},  {EIO, 1117}, {ELOOP, 1921},
};
constexpr unsigned fallbackErrorNumber = 31; // a general failure of the device

unsigned latestError = 0;

std::string cString(std::string_view text) {
    return std::string(text);
}

std::string directoryPart(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

// Stores the Windows number for errnoValue; a missing name whose directory is missing too is 3.
void setError(int errnoValue, std::string_view path = {}) {
    unsigned number = fallbackErrorNumber;
    for (const auto &mapping : errnoMap) {
        if (mapping.errnoValue == errnoValue) {
            number = mapping.windowsNumber;
            break;
        }
    }
    if (errnoValue == ENOENT && !path.empty()) {
        std::string directory = directoryPart(path);
        struct stat st;
        if (!directory.empty() && (stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            number = 3;
    }
    latestError = number;
}

void setNumber(unsigned number) {
    latestError = number;
}

// The command line as the program received it, captured before main runs.
int savedArgc = 0;
char **savedArgv = nullptr;

// glibc hands every .init_array function the program's arguments.
void captureArguments(int argc, char **argv, char **) {
    savedArgc = argc;
    savedArgv = argv;
    // A write to a vanished pipe or past the file-size limit must fail like any other write,
    // not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}
__attribute__((section(".init_array"),
               used)) void (*captureArgumentsAtStart)(int, char **, char **) = captureArguments;

// Open files of this process, for the share rules among them.
struct OpenFile {
    Handle handle;
    dev_t device;
    ino_t inode;
    unsigned access; // 1 read, 2 write: the same bits as the share flags that allow them
    unsigned share;
};
std::vector<OpenFile> openFiles;

// True when an open of st with access and share may coexist with every open file of it.
bool sharingAllows(const struct stat &st, unsigned access, unsigned share) {
    for (const auto &open : openFiles) {
        if (open.device != st.st_dev || open.inode != st.st_ino)
            continue;
        if ((access & ~open.share) != 0 || (open.access & ~share) != 0)
            return false;
    }
    return true;
}

bool isOpen(const struct stat &st) {
    for (const auto &open : openFiles)
        if (open.device == st.st_dev && open.inode == st.st_ino)
            return true;
    return false;
}

// A regular file that grants nobody write access is read-only, as the Windows attribute.
bool isReadOnly(const struct stat &st) {
    return S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
}

// Files created to replace another are reserved (an exclusive lock on a second descriptor)
// from their creation until they are moved, across the close that precedes the move.
struct Reservation {
    std::string name;
    int lockDescriptor;
};
std::vector<Reservation> reservations;

void releaseReservation(std::string_view name) {
    for (auto it = reservations.begin(); it != reservations.end(); ++it) {
        if (it->name == name) {
            ::close(it->lockDescriptor);
            reservations.erase(it);
            return;
        }
    }
}

// A file never takes the number of a closed standard stream: what the program prints (the
// report of a failure) would go into it. Such a descriptor moves above them.
int aboveStandardStreams(int fd) {
    if (fd < 0 || fd > 2)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int err = errno;
    ::close(fd);
    errno = err;
    return moved;
}

// Closes descriptor after a failed call and reports that call's errno.
Handle failWithErrno(int descriptor) {
    int err = errno;
    ::close(descriptor);
    setError(err);
    return invalidHandle;
}

Handle failWith(int descriptor, unsigned number) {
    ::close(descriptor);
    setNumber(number);
    return invalidHandle;
}

Handle openForReading(const std::string &name, unsigned share) {
    int fd = aboveStandardStreams(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd < 0) {
        setError(errno, name);
        return invalidHandle;
    }
    struct stat st;
    if (fstat(fd, &st) != 0)
        return failWithErrno(fd);
    if (S_ISDIR(st.st_mode))
        return failWith(fd, 5);
    if (!sharingAllows(st, shareRead, share))
        return failWith(fd, 32);
    openFiles.push_back({fd, st.st_dev, st.st_ino, shareRead, share});
    return fd;
}

Handle openForWriting(const std::string &name, unsigned share, Handle templateFile) {
    struct stat model {};
    bool replacing = templateFile != invalidHandle;
    mode_t mode = 0666;
    if (replacing) {
        if (fstat(static_cast<int>(templateFile), &model) != 0) {
            setError(errno);
            return invalidHandle;
        }
        mode = model.st_mode & 07777;
        if ((mode & 0222) == 0)
            mode |= S_IWUSR; // a result left behind must not block the next run
    }
    int flags = O_WRONLY | O_CLOEXEC | (replacing ? O_NOFOLLOW : 0);
    bool created = true;
    int fd = aboveStandardStreams(::open(name.c_str(), flags | O_CREAT | O_EXCL, mode));
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = aboveStandardStreams(::open(name.c_str(), flags));
    }
    if (fd < 0) {
        if (replacing && errno == ELOOP) {
            setNumber(5); // a planted symbolic link
            return invalidHandle;
        }
        setError(errno, name);
        return invalidHandle;
    }
    struct stat st;
    if (fstat(fd, &st) != 0)
        return failWithErrno(fd);
    if (!created && isReadOnly(st))
        return failWith(fd, 5);
    if (replacing && (!S_ISREG(st.st_mode) || st.st_nlink > 1))
        return failWith(fd, 5); // never write through another name of some file
    if (!sharingAllows(st, shareWrite, share))
        return failWith(fd, 32);
    if (replacing) {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0)
            return failWith(fd, 32); // another run holds it
        struct stat now;
        if (lstat(name.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
            return failWith(fd, 32); // another run renamed it away meanwhile
    }
    if (S_ISREG(st.st_mode) && !created && ftruncate(fd, 0) != 0)
        return failWithErrno(fd);
    if (replacing) {
        if (fchown(fd, model.st_uid, model.st_gid) != 0) {
            // Only a privileged process may give a file away; the bits below still hold.
        }
        if (fchmod(fd, mode) != 0)
            return failWithErrno(fd);
        int lock = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (lock < 0)
            return failWithErrno(fd);
        reservations.push_back({name, lock});
    }
    openFiles.push_back({fd, st.st_dev, st.st_ino, shareWrite, share});
    return fd;
}

bool syncDirectoryOf(std::string_view path) {
    std::string directory = directoryPart(path);
    if (directory.empty())
        directory = ".";
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        setError(errno);
        return false;
    }
    bool ok = fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync a directory
    int err = errno;
    ::close(fd);
    if (!ok)
        setError(err);
    return ok;
}

} // namespace

const std::string &commandLine() {
    static const std::string line = [] {
        // Every element becomes exactly one quoted argument: its quotes are dropped, since the
        // splitter keeps none, and the program name is never empty.
        std::string result;
        for (int i = 0; i < savedArgc; ++i) {
            std::string element;
            for (const char *p = savedArgv[i]; *p != '\0'; ++p)
                if (*p != '"')
                    element += *p;
            if (i == 0 && element.empty())
                element = "program";
            if (i > 0)
                result += ' ';
            result += '"';
            result += element;
            result += '"';
        }
        return result;
    }();
    return line;
}

std::string modulePath() {
    std::vector<char> path(4096);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return std::string();
    return std::string(path.data(), static_cast<std::size_t>(length));
}

Handle createFile(std::string_view name, Access access, unsigned share, Handle templateFile) {
    FAIL_ON_DEMAND(create, invalidHandle);
    std::string path = cString(name);
    if (path.empty()) {
        setNumber(2);
        return invalidHandle;
    }
    return access == Access::read ? openForReading(path, share)
                                  : openForWriting(path, share, templateFile);
}

bool readFile(Handle handle, char *buffer, std::size_t size, std::size_t &count) {
    FAIL_ON_DEMAND(read, (count = 0, false));
    for (;;) {
        ssize_t got = ::read(static_cast<int>(handle), buffer, size);
        if (got >= 0) {
            count = static_cast<std::size_t>(got);
            return true;
        }
        if (errno != EINTR) {
            count = 0;
            setError(errno);
            return false;
        }
    }
}

bool writeFile(Handle handle, const char *data, std::size_t size) {
    FAIL_ON_DEMAND(write, false);
    while (size > 0) {
        ssize_t put = ::write(static_cast<int>(handle), data, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            setError(errno);
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool flushFile(Handle handle) {
    FAIL_ON_DEMAND(flush, false);
    struct stat st;
    if (fstat(static_cast<int>(handle), &st) != 0) {
        setError(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode))
        return true;
    if (fsync(static_cast<int>(handle)) != 0) {
        setError(errno);
        return false;
    }
    return true;
}

bool closeHandle(Handle handle) {
    for (auto it = openFiles.begin(); it != openFiles.end(); ++it) {
        if (it->handle == handle) {
            openFiles.erase(it);
            break;
        }
    }
    if (::close(static_cast<int>(handle)) != 0) {
        setError(errno);
        return false;
    }
    // The descriptor is released even when close fails, so a failure on demand comes after it.
    FAIL_ON_DEMAND(close, false);
    return true;
}

Handle standardHandle(Access access) {
    int fd = access == Access::read ? 0 : 1;
    if (fcntl(fd, F_GETFD) == -1) {
        setError(errno);
        return invalidHandle;
    }
    return fd;
}

int fileType(Handle handle) {
    struct stat st;
    if (handle < 0 || fstat(static_cast<int>(handle), &st) != 0)
        return fileTypeUnknown;
    if (S_ISCHR(st.st_mode))
        return fileTypeCharacter;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return fileTypePipe;
    return fileTypeDisk;
}

bool deleteFile(std::string_view name) {
    FAIL_ON_DEMAND(erase, false);
    std::string path = cString(name);
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0) {
        setError(path.empty() ? ENOENT : errno, path);
        return false;
    }
    if (S_ISDIR(st.st_mode) || isReadOnly(st)) {
        setNumber(5);
        return false;
    }
    if (isOpen(st)) {
        setNumber(32); // Windows refuses to delete a file that is open
        return false;
    }
    if (unlink(path.c_str()) != 0) {
        setError(errno, path);
        return false;
    }
    return true;
}

bool moveFile(std::string_view name, std::string_view newName) {
    FAIL_ON_DEMAND(move, false);
    std::string from = cString(name);
    std::string to = cString(newName);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            setError(errno, errno == ENOENT ? from : to);
            return false;
        }
        // The file system cannot refuse to replace by itself: a hard link can.
        if (link(from.c_str(), to.c_str()) != 0) {
            setError(errno, to);
            return false;
        }
        if (unlink(from.c_str()) != 0) {
            int err = errno;
            unlink(to.c_str());
            setError(err, from);
            return false;
        }
    }
    releaseReservation(name);
    if (!syncDirectoryOf(to))
        return false;
    if (directoryPart(from) != directoryPart(to) && !syncDirectoryOf(from))
        return false;
    return true;
}

unsigned lastError() {
    return latestError;
}

void exitProcess(unsigned code) {
    // A POSIX exit status holds one byte: a larger number leaves as 255.
    _exit(code <= 255 ? static_cast<int>(code) : 255);
}

std::uint32_t codeOffset(const void *address) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) -
                                      reinterpret_cast<std::uintptr_t>(&__executable_start));
}

std::string siblingFileName(std::string_view path, std::string_view fileName) {
    return directoryPart(path) + std::string(fileName);
}

bool fileNamesIgnoreCase() {
    return false;
}

std::string linkTarget(std::string_view path) {
    std::string current = cString(path);
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (current.empty() || lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            return current;
        std::string next(target.data(), static_cast<std::size_t>(length));
        current = next[0] == '/' ? next : directoryPart(current) + next;
    }
    return current;
}

} // namespace platform
