// The platform layer on 32-bit Windows: the process command line, the process heap, files
// through CreateFileA and friends, and a message box for the failure report.
#include "platform/platform.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE handle_of(File file) { return reinterpret_cast<HANDLE>(file.handle); }

Error last_error() {
    const DWORD e = GetLastError();
    return e ? e : 31; // a failure must never read as success
}

Error open_as(const char* path, DWORD access, DWORD disposition, File& out) {
    const HANDLE h = CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return last_error();
    out.handle = reinterpret_cast<std::intptr_t>(h);
    return ok;
}

// Writes `value` in `digits` uppercase hexadecimal digits; returns the position after them.
char* put_hex(char* p, std::uint64_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) *p++ = "0123456789ABCDEF"[(value >> shift) & 15];
    return p;
}

// The lock is a named mutex, one per document: its name is made from the document's full
// path, folded to capitals (file names compare without case here).
Error lock_name(System& sys, const char* path, char (&name)[64]) {
    char full[MAX_PATH * 2];
    const DWORD size = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (size == 0 || size >= sizeof full) return size ? 206 : last_error();
    CharUpperBuffA(full, size);
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (DWORD i = 0; i < size; ++i) hash = (hash ^ static_cast<unsigned char>(full[i])) * 1099511628211ull;
    text_copy(sys, name, "Local\\extern-set-");
    *put_hex(name + text_length(sys, name), hash, 16) = 0;
    return ok;
}

} // namespace

void start(System& sys, int argc, char** argv) {
    // No system dialog for a missing drive or a failed device: failures come back as numbers.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    sys.argc = argc;
    sys.argv = argv;
    sys.heap = GetProcessHeap();
}

char* command_line(System& sys) {
    if (!sys.line) sys.line = GetCommandLineA();
    return sys.line;
}

void fail(System&, const char* message, const char*, std::uint32_t number) {
    MessageBoxA(nullptr, message, "Error", 0);
    ExitProcess(number);
}

void sleep_ms(System&, unsigned ms) { Sleep(ms); }

void* heap_get(System& sys, std::size_t size) { return HeapAlloc(sys.heap, 0, size); }

bool heap_release(System& sys, void* block) { return HeapFree(sys.heap, 0, block) != 0; }

bool text_equal(System&, const char* a, const char* b) { return a && b && lstrcmpA(a, b) == 0; }

std::size_t text_length(System&, const char* text) { return static_cast<std::size_t>(lstrlenA(text)); }

void text_copy(System&, char* to, const char* text) { lstrcpyA(to, text); }

Error open_read(System&, const char* path, File& out) { return open_as(path, GENERIC_READ, OPEN_EXISTING, out); }

Error read(System&, File file, void* buffer, std::size_t capacity, std::size_t& got) {
    DWORD done = 0;
    if (!ReadFile(handle_of(file), buffer, static_cast<DWORD>(capacity), &done, nullptr)) return last_error();
    got = done;
    return ok;
}

Error open_write(System&, const char* path, File& out) { return open_as(path, GENERIC_WRITE, OPEN_EXISTING, out); }

Error file_type(System&, File file, FileType& out) {
    const DWORD type = GetFileType(handle_of(file));
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return last_error();
    out = type == FILE_TYPE_DISK   ? FileType::disk
          : type == FILE_TYPE_CHAR ? FileType::character
          : type == FILE_TYPE_PIPE ? FileType::pipe
                                   : FileType::unknown;
    return ok;
}

Error file_size(System&, File file, std::uint64_t& out) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_of(file), &size)) return last_error();
    out = static_cast<std::uint64_t>(size.QuadPart);
    return ok;
}

Error seek(System&, File file, std::uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_of(file), to, nullptr, FILE_BEGIN)) return last_error();
    return ok;
}

Error write(System&, File file, const void* data, std::size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size) {
        DWORD done = 0;
        if (!WriteFile(handle_of(file), p, static_cast<DWORD>(size), &done, nullptr)) return last_error();
        if (done == 0) return disk_full;
        p += done;
        size -= done;
    }
    return ok;
}

Error set_end(System&, File file) {
    if (!SetEndOfFile(handle_of(file))) return last_error();
    return ok;
}

Error flush(System&, File file) {
    if (!FlushFileBuffers(handle_of(file))) return last_error();
    return ok;
}

Error close(System&, File& file) {
    if (file.handle == -1) return ok;
    const BOOL closed = CloseHandle(handle_of(file));
    file.handle = -1;
    return closed ? ok : last_error();
}

Error try_lock(System& sys, const char* path, Lock& out) {
    char name[64];
    if (Error e = lock_name(sys, path, name)) return e;
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (!mutex) return last_error();
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) { // abandoned: its run has ended
        out.handle = reinterpret_cast<std::intptr_t>(mutex);
        return ok;
    }
    const Error e = waited == WAIT_TIMEOUT ? sharing_violation : last_error();
    CloseHandle(mutex);
    return e;
}

void unlock(System&, Lock& lock) {
    if (lock.handle == -1) return;
    const HANDLE mutex = reinterpret_cast<HANDLE>(lock.handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    lock.handle = -1;
}

Error same_file(System&, File, const Lock&, bool& same) {
    same = true; // the lock is on the name, whatever file stands under it
    return ok;
}

Error create_temp(System& sys, const char* path, File doc, Temp& out) {
    // A replace would split a document with several hard links, or put a file in place of a
    // symbolic link: those are written in place.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_of(doc), &info)) return last_error();
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    if (info.nNumberOfLinks > 1 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return access_denied;
    // <full path of the document>.<process id>-<n>.tmp, beside the document.
    const DWORD size = GetFullPathNameA(path, MAX_PATH, out.target, nullptr);
    if (size == 0 || size >= MAX_PATH) return size ? 206 : last_error();
    const DWORD id = GetCurrentProcessId();
    for (unsigned n = 0; n < 100; ++n) {
        text_copy(sys, out.path, out.target);
        char* p = out.path + text_length(sys, out.path);
        *p++ = '.';
        p = put_hex(p, id, 8);
        *p++ = '-';
        *p++ = static_cast<char>('0' + n / 10);
        *p++ = static_cast<char>('0' + n % 10);
        text_copy(sys, p, ".tmp");
        const HANDLE h = CreateFileA(out.path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            out.file.handle = reinterpret_cast<std::intptr_t>(h);
            return ok;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            const Error e = last_error();
            out.path[0] = 0;
            return e;
        }
    }
    out.path[0] = 0;
    return ERROR_FILE_EXISTS;
}

Error replace(System& sys, Temp& temp) {
    // ReplaceFileA keeps the document's attributes and security. A scanner or an indexer may
    // hold the document for a moment: a sharing violation is retried for a short while.
    for (unsigned attempt = 0;; ++attempt) {
        if (ReplaceFileA(temp.target, temp.path, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            temp.path[0] = 0;
            return ok;
        }
        const Error e = last_error();
        if (e != sharing_violation || attempt == 20) return e;
        sleep_ms(sys, 50);
    }
}

void discard_temp(System&, Temp& temp) {
    if (temp.file.handle != -1) CloseHandle(handle_of(temp.file));
    temp.file.handle = -1;
    if (temp.path[0]) DeleteFileA(temp.path);
    temp.path[0] = 0;
}

} // namespace platform
