// The platform layer on POSIX (Linux).
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {
namespace {

// errno as the number Windows reports for the same cause, so that exit codes agree.
Error map_errno(int code) {
    switch (code) {
    case 0: return ok;
    case ENOENT: return file_not_found;
    case ENOTDIR: return path_not_found;
    case EMFILE:
    case ENFILE: return 4; // ERROR_TOO_MANY_OPEN_FILES
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return access_denied;
    case EBADF: return 6; // ERROR_INVALID_HANDLE
    case ENOMEM: return 8; // ERROR_NOT_ENOUGH_MEMORY
    case EXDEV: return 17; // ERROR_NOT_SAME_DEVICE
    case ENXIO:
    case ENODEV: return 21; // ERROR_NOT_READY
    case ESPIPE: return 25; // ERROR_SEEK
    case EBUSY:
    case ETXTBSY: return sharing_violation;
    case EWOULDBLOCK: return 33; // ERROR_LOCK_VIOLATION
    case ENOSYS:
    case EOPNOTSUPP: return 50; // ERROR_NOT_SUPPORTED
    case EEXIST: return 80; // ERROR_FILE_EXISTS
    case EINVAL: return 87; // ERROR_INVALID_PARAMETER
    case EPIPE: return broken_pipe;
    case ENOSPC:
    case EDQUOT: return disk_full;
    case ELOOP: return 161; // ERROR_BAD_PATHNAME
    case ENAMETOOLONG: return 206; // ERROR_FILENAME_EXCED_RANGE
    case EFBIG: return 223; // ERROR_FILE_TOO_LARGE
    default: return 31; // ERROR_GEN_FAILURE (EIO and anything else)
    }
}

Error last_error() { return map_errno(errno); }

int fd(File file) { return static_cast<int>(file.handle); }

// Clears O_NONBLOCK, which is set only so that opening a FIFO cannot hang.
Error make_blocking(int descriptor) {
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) < 0) return last_error();
    return ok;
}

// The directory part of `path` ("." when it has none), into `out`.
void directory_of(const char* path, char (&out)[PATH_MAX]) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) {
        std::strcpy(out, ".");
        return;
    }
    const std::size_t size = slash == path ? 1 : static_cast<std::size_t>(slash - path);
    std::memcpy(out, path, size);
    out[size] = 0;
}

// Windows tells a missing file (2) from a missing directory on its way (3); so does this,
// following the links that `path` goes through.
Error not_found(const char* path) {
    char current[PATH_MAX];
    if (std::strlen(path) >= sizeof current) return 206;
    std::strcpy(current, path);
    for (int hops = 0; hops < 40; ++hops) {
        char dir[PATH_MAX];
        directory_of(current, dir);
        struct stat st;
        if (lstat(current, &st) != 0)
            return stat(dir, &st) == 0 && S_ISDIR(st.st_mode) ? file_not_found : path_not_found;
        if (!S_ISLNK(st.st_mode)) return file_not_found;
        char link[PATH_MAX];
        const ssize_t size = readlink(current, link, sizeof link - 1);
        if (size < 0) return file_not_found;
        link[size] = 0;
        if (link[0] == '/') {
            std::strcpy(current, link);
        } else {
            if (std::strlen(dir) + 1 + static_cast<std::size_t>(size) >= sizeof current) return 206;
            std::strcpy(current, dir);
            std::strcat(current, "/");
            std::strcat(current, link);
        }
    }
    return file_not_found;
}

Error open_as(const char* path, int mode, File& out) {
    const int descriptor = open(path, mode | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return errno == ENOENT ? not_found(path) : last_error();
    struct stat st;
    const Error e = fstat(descriptor, &st) != 0 ? last_error()
                    : S_ISDIR(st.st_mode)       ? access_denied // a directory is no document
                                                : make_blocking(descriptor);
    if (e) {
        ::close(descriptor);
        return e;
    }
    out.handle = descriptor;
    return ok;
}

void write_all(int descriptor, const char* text) {
    std::size_t size = std::strlen(text);
    while (size) {
        const ssize_t done = ::write(descriptor, text, size);
        if (done <= 0 && errno != EINTR) return;
        if (done > 0) text += done, size -= static_cast<std::size_t>(done);
    }
}

} // namespace

void start(System& sys, int argc, char** argv) {
    // Failures to write past a file-size limit or into a closed pipe are reported as errors,
    // not as signals that would end the process with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    sys.argc = argc;
    sys.argv = argv;
}

char* command_line(System& sys) {
    if (sys.line) return sys.line;
    std::size_t size = 1;
    for (int i = 0; i < sys.argc; ++i) size += std::strlen(sys.argv[i]) + 1;
    char* line = static_cast<char*>(std::malloc(size));
    if (!line) return nullptr;
    char* p = line;
    for (int i = 0; i < sys.argc; ++i) {
        if (i) *p++ = '\t';
        const std::size_t n = std::strlen(sys.argv[i]);
        std::memcpy(p, sys.argv[i], n);
        p += n;
    }
    *p = 0;
    sys.line = line;
    return line;
}

void fail(System&, const char* message, const char* detail, std::uint32_t number) {
    write_all(2, "Error: ");
    write_all(2, message);
    write_all(2, "\n");
    if (*detail) {
        write_all(2, detail);
        write_all(2, "\n");
    }
    // A POSIX exit status holds 8 bits; every number this layer produces fits.
    _exit(number <= 255 ? static_cast<int>(number) : 255);
}

void sleep_ms(System&, unsigned ms) {
    timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void* heap_get(System&, std::size_t size) { return std::malloc(size); }

bool heap_release(System&, void* block) {
    std::free(block);
    return true;
}

bool text_equal(System&, const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

std::size_t text_length(System&, const char* text) { return std::strlen(text); }

void text_copy(System&, char* to, const char* text) { std::strcpy(to, text); }

Error open_read(System&, const char* path, File& out) { return open_as(path, O_RDONLY, out); }

Error read(System&, File file, void* buffer, std::size_t capacity, std::size_t& got) {
    for (;;) {
        const ssize_t done = ::read(fd(file), buffer, capacity);
        if (done >= 0) {
            got = static_cast<std::size_t>(done);
            return ok;
        }
        if (errno != EINTR) return last_error();
    }
}

Error open_write(System&, const char* path, File& out) { return open_as(path, O_WRONLY, out); }

Error file_type(System&, File file, FileType& out) {
    struct stat st;
    if (fstat(fd(file), &st) != 0) return last_error();
    out = S_ISREG(st.st_mode)                          ? FileType::disk
          : S_ISCHR(st.st_mode)                        ? FileType::character
          : S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ? FileType::pipe
                                                        : FileType::unknown;
    return ok;
}

Error file_size(System&, File file, std::uint64_t& out) {
    struct stat st;
    if (fstat(fd(file), &st) != 0) return last_error();
    out = static_cast<std::uint64_t>(st.st_size);
    return ok;
}

Error seek(System&, File file, std::uint64_t offset) {
    if (lseek(fd(file), static_cast<off_t>(offset), SEEK_SET) < 0) return last_error();
    return ok;
}

Error write(System&, File file, const void* data, std::size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size) {
        const ssize_t done = ::write(fd(file), p, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return last_error();
        }
        p += done;
        size -= static_cast<std::size_t>(done);
    }
    return ok;
}

Error set_end(System&, File file) {
    const off_t here = lseek(fd(file), 0, SEEK_CUR);
    if (here < 0 || ftruncate(fd(file), here) != 0) return last_error();
    return ok;
}

Error flush(System&, File file) {
    if (fsync(fd(file)) != 0) return last_error();
    return ok;
}

Error close(System&, File& file) {
    if (file.handle < 0) return ok;
    const int result = ::close(fd(file));
    file.handle = -1;
    // On Linux the descriptor is gone even when close reports EINTR.
    if (result != 0 && errno != EINTR) return last_error();
    return ok;
}

Error try_lock(System&, const char* path, Lock& out) {
    File file;
    if (Error e = open_as(path, O_RDONLY, file)) return e;
    const int descriptor = fd(file);
    while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const Error e = errno == EWOULDBLOCK ? sharing_violation : last_error();
        ::close(descriptor);
        return e;
    }
    out.handle = descriptor;
    return ok;
}

void unlock(System&, Lock& lock) {
    if (lock.handle >= 0) ::close(static_cast<int>(lock.handle));
    lock.handle = -1;
}

Error same_file(System&, File doc, const Lock& lock, bool& same) {
    struct stat locked;
    struct stat open;
    if (fstat(static_cast<int>(lock.handle), &locked) != 0 || fstat(fd(doc), &open) != 0) return last_error();
    same = locked.st_dev == open.st_dev && locked.st_ino == open.st_ino;
    return ok;
}

Error create_temp(System& sys, const char* path, File doc, Temp& out) {
    struct stat st;
    if (fstat(fd(doc), &st) != 0) return last_error();
    if (st.st_nlink != 1) return access_denied; // a rename would split the hard links
    if (fgetxattr(fd(doc), "system.posix_acl_access", nullptr, 0) >= 0) return access_denied; // or drop the ACL
    if (!realpath(path, out.target)) return last_error();
    const char* slash = std::strrchr(out.target, '/');
    const std::size_t dir = static_cast<std::size_t>(slash - out.target) + 1;
    const char* base = slash + 1;
    if (dir + std::strlen(base) + 9 > sizeof out.path) return 206;
    std::memcpy(out.path, out.target, dir);
    out.path[dir] = '.';
    std::strcpy(out.path + dir + 1, base);
    std::strcat(out.path, ".XXXXXX");
    const int descriptor = mkostemp(out.path, O_CLOEXEC);
    if (descriptor < 0) {
        out.path[0] = 0;
        return last_error();
    }
    out.file.handle = descriptor;
    // The new file must carry the document's owner, group and permission bits.
    struct stat made;
    if (fstat(descriptor, &made) != 0 ||
        ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) && fchown(descriptor, st.st_uid, st.st_gid) != 0) ||
        fchmod(descriptor, st.st_mode & 07777) != 0) {
        const Error e = last_error();
        discard_temp(sys, out);
        return e;
    }
    return ok;
}

Error replace(System&, Temp& temp) {
    if (std::rename(temp.path, temp.target) != 0) return last_error();
    temp.path[0] = 0;
    // Make the rename itself durable: flush the directory that holds the document.
    char path[PATH_MAX];
    directory_of(temp.target, path);
    const int dir = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return last_error();
    const Error e = fsync(dir) == 0 ? ok : last_error();
    ::close(dir);
    return e;
}

void discard_temp(System&, Temp& temp) {
    if (temp.file.handle >= 0) ::close(fd(temp.file));
    temp.file.handle = -1;
    if (temp.path[0]) unlink(temp.path);
    temp.path[0] = 0;
}

} // namespace platform
