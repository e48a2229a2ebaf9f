// The narrow layer between extern-set and the operating system.
//
// Every call that touches the system goes through here. There is one implementation per
// system (posix.cpp, win32.cpp) and a fake one for tests; the build links exactly one.
// `System` holds the state of one process; the caller owns it and passes it to every call.
//
// Calls that can fail return an error number as Windows reports it (0 = success). The
// POSIX implementation maps errno onto the same numbers so that exit codes mean the same
// on both systems.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using Error = std::uint32_t;

// Error numbers the tool itself relies on.
inline constexpr Error ok = 0;
inline constexpr Error file_not_found = 2;     // ERROR_FILE_NOT_FOUND
inline constexpr Error path_not_found = 3;     // ERROR_PATH_NOT_FOUND
inline constexpr Error access_denied = 5;      // ERROR_ACCESS_DENIED
inline constexpr Error sharing_violation = 32; // ERROR_SHARING_VIOLATION
inline constexpr Error broken_pipe = 109;      // ERROR_BROKEN_PIPE
inline constexpr Error disk_full = 112;        // ERROR_DISK_FULL

struct State; // defined by an implementation that needs more state (the fake one in tests)

struct System {
    int argc = 0;
    char** argv = nullptr;
    char* line = nullptr;  // the command line, once built
    void* heap = nullptr;  // the heap blocks come from (Win32: the process heap)
    State* state = nullptr;
};

// An open file. `handle` is a descriptor or a HANDLE value; -1 when closed.
struct File {
    std::intptr_t handle = -1;
};

enum class FileType { disk, character, pipe, unknown };

// Serializes runs of the tool on one document. Held from the first read to the final replace.
struct Lock {
    std::intptr_t handle = -1;
};

// A new file in the document's directory, to be renamed over the document.
struct Temp {
    File file;
    char path[4096] = {};   // the temporary file
    char target[4096] = {}; // the file it replaces: the document, links followed
};

// --- process -----------------------------------------------------------------------------

// Sets up the process.
void start(System& sys, int argc, char** argv);

// The process command line as one writable, 0x00-terminated byte string: on Windows the
// string the caller passed, on POSIX the arguments joined with TAB. Null when no memory.
char* command_line(System& sys);

// Shows the failure report (first line the message, caption "Error"; `detail` is a plain
// words line, may be empty) and ends the process with `number`. Never returns.
[[noreturn]] void fail(System& sys, const char* message, const char* detail, std::uint32_t number);

// Waits about `ms` milliseconds.
void sleep_ms(System& sys, unsigned ms);

// --- heap blocks ------------------------------------------------------------------------

// Null when the heap cannot serve the request.
void* heap_get(System& sys, std::size_t size);
// False when the heap refuses the release.
bool heap_release(System& sys, void* block);

// --- byte strings -----------------------------------------------------------------------

// True when both strings compare equal by the system's comparison.
bool text_equal(System& sys, const char* a, const char* b);
// The length without the terminating 0x00.
std::size_t text_length(System& sys, const char* text);
// Copies `text` with its terminating 0x00.
void text_copy(System& sys, char* to, const char* text);

// --- files ------------------------------------------------------------------------------

// Opens an existing file for reading; others may read it too, nobody may write it.
Error open_read(System& sys, const char* path, File& out);
// Reads up to `capacity` bytes; `got` = 0 at the end of the data.
Error read(System& sys, File file, void* buffer, std::size_t capacity, std::size_t& got);
// Opens an existing file for writing without changing it (no create, no truncation).
Error open_write(System& sys, const char* path, File& out);
Error file_type(System& sys, File file, FileType& out);
Error file_size(System& sys, File file, std::uint64_t& out);
Error seek(System& sys, File file, std::uint64_t offset);
// Writes all `size` bytes at the current position.
Error write(System& sys, File file, const void* data, std::size_t size);
// Cuts the file at the current position.
Error set_end(System& sys, File file);
// Flushes written data to the disk.
Error flush(System& sys, File file);
Error close(System& sys, File& file);

// Takes the run lock on the document `path`: 0 when taken, sharing_violation while another
// run holds it, or the error of opening the document.
Error try_lock(System& sys, const char* path, Lock& out);
void unlock(System& sys, Lock& lock);
// Whether `doc`, opened after the lock was taken, is the file the lock is on (a run that
// finished meanwhile may have put a new file in place).
Error same_file(System& sys, File doc, const Lock& lock, bool& same);

// Creates a temporary file beside the file `path` finally names (through links), carrying
// the document's permission bits, owner and group. Fails when the directory refuses a new
// file or when a replace could not keep what the document has; the caller then writes in
// place.
Error create_temp(System& sys, const char* path, File doc_for_writing, Temp& out);
// Puts the closed temporary file in place of the file it was made for, durably.
Error replace(System& sys, Temp& temp);
// Closes and deletes a temporary file that is not going to be used.
void discard_temp(System& sys, Temp& temp);

} // namespace platform
