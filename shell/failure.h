// The run-time error: how a run of extern-set fails.
//
// A failing step gives an error number (the exit code) and a location, a stable number of
// the step that failed, shown as eight hexadecimal digits in the message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace shell {

// Numbers of the failing steps. They are part of the tool's interface: keep them stable.
enum class Step : std::uint32_t {
    none = 0x00,
    arguments = 0x01,    // name or value absent, or one the document cannot hold (87)
    heap_get = 0x02,     // a buffer cannot be had (203)
    open = 0x03,         // opening extern.xml for reading
    lock = 0x04,         // waiting for another run on the same document
    read = 0x05,         // reading extern.xml
    prolog = 0x06,       // layout: the prolog (100)
    name = 0x07,         // layout: an element name (100)
    value = 0x08,        // layout: an element value (100)
    closing = 0x09,      // layout: an element's closing part (100)
    size = 0x0A,         // the new document would exceed 2000 bytes (201)
    reopen = 0x0B,       // opening extern.xml for writing
    file_type = 0x0C,    // the file type cannot be told (105)
    position = 0x0D,     // finding the size of, or a position in, the document
    write = 0x0E,        // writing the new document
    flush = 0x0F,        // flushing it to the disk
    truncate = 0x10,     // cutting off what is left of a longer old document
    replace = 0x11,      // putting the new file in place of the old one
    close = 0x12,        // closing a file
    heap_release = 0x13, // the heap refuses to take a buffer back (204)
};

// Error numbers of the tool's own (the system's numbers pass through unchanged).
inline constexpr std::uint32_t invalid_argument = 87;
inline constexpr std::uint32_t bad_layout = 100;
inline constexpr std::uint32_t unknown_file_type = 105;
inline constexpr std::uint32_t too_large = 201;
inline constexpr std::uint32_t no_memory = 203;
inline constexpr std::uint32_t release_refused = 204;

// The outcome of a run: number 0 means success.
struct Failure {
    std::uint32_t number = 0;
    Step step = Step::none;
    const char* why = nullptr; // optional plain words on the cause
};

// "Runtime error" + the number right-aligned in three columns (wider when it needs more)
// + " at " + the location in eight uppercase hexadecimal digits. Returns the length.
inline constexpr std::size_t message_capacity = 40;
std::size_t format_message(std::uint32_t number, std::uint32_t location, char (&out)[message_capacity]);

// A line in plain words on what failed, for the POSIX report. Returns the length.
inline constexpr std::size_t detail_capacity = 200;
std::size_t format_detail(const Failure& failure, char (&out)[detail_capacity]);

} // namespace shell
