#include "settings/change.h"

#include "settings/document.h"

namespace settings {
namespace {

using platform::Error;
using platform::File;
using platform::System;
using shell::Failure;
using shell::Step;

constexpr Failure success{};

Failure layout(Step step, const char* why) { return {shell::bad_layout, step, why}; }

constexpr char ends_early[] = "the document ends inside it";
constexpr char zero_byte[] = "a 0x00 byte";

bool is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool holds(const char* text, char a, char b) {
    for (; *text; ++text)
        if (*text == a || *text == b) return true;
    return false;
}

// Refuses arguments the document could not hold, before the document is opened.
Failure check_arguments(System& sys, const char* name, const char* value) {
    if (!name || !value) return {shell::invalid_argument, Step::arguments, "zmen needs a name and a value"};
    if (platform::text_length(sys, name) > name_max)
        return {shell::invalid_argument, Step::arguments, "the name is longer than 10 bytes"};
    if (holds(name, '>', end_mark))
        return {shell::invalid_argument, Step::arguments, "the name holds '>' or 0x1A"};
    if (holds(value, '<', end_mark))
        return {shell::invalid_argument, Step::arguments, "the value holds '<' or 0x1A"};
    return success;
}

// The document, read through a 128-byte buffer. Once the data ends (the physical end, or a
// 0x1A byte) every read gives 0x1A again and nothing more is read.
struct Reader {
    System& sys;
    File file;
    unsigned char buffer[transfer_size];
    std::size_t position = 0;
    std::size_t filled = 0;
    bool ended = false;
};

// The next byte, not consumed.
Error peek(Reader& in, unsigned char& c) {
    if (!in.ended && in.position == in.filled) {
        std::size_t got = 0;
        Error e = platform::read(in.sys, in.file, in.buffer, sizeof in.buffer, got);
        if (e == platform::broken_pipe) e = platform::ok, got = 0; // a closed pipe ends the data
        if (e) return e;
        in.position = 0;
        in.filled = got;
        in.ended = got == 0;
    }
    if (!in.ended && in.buffer[in.position] == end_mark) in.ended = true;
    c = in.ended ? end_mark : in.buffer[in.position];
    return platform::ok;
}

Error next(Reader& in, unsigned char& c) {
    const Error e = peek(in, c);
    if (!e && !in.ended) ++in.position;
    return e;
}

// The new document, at most document_max bytes, always ended by a 0x00.
struct Output {
    System& sys;
    char* data;
    std::size_t size = 0;
};

bool put(Output& out, char c) {
    if (out.size == document_max) return false;
    out.data[out.size++] = c;
    out.data[out.size] = 0;
    return true;
}

bool put(Output& out, const char* text) {
    const std::size_t size = platform::text_length(out.sys, text);
    if (size > document_max - out.size) return false;
    platform::text_copy(out.sys, out.data + out.size, text);
    out.size += size;
    return true;
}

constexpr Failure overflow{shell::too_large, Step::size, nullptr};

// Reads one byte that must lie inside the document's layout part `step`.
Failure take(Reader& in, unsigned char& c, Step step) {
    if (Error e = next(in, c)) return {e, Step::read, nullptr};
    if (in.ended) return layout(step, ends_early);
    if (c == 0) return layout(step, zero_byte);
    return success;
}

// Copies (or, with `keep` false, drops) bytes up to and including `stop`.
Failure pass(Reader& in, Output& out, char stop, bool keep, Step step) {
    unsigned char c;
    do {
        if (Failure f = take(in, c, step); f.number) return f;
        if (keep && !put(out, static_cast<char>(c))) return overflow;
    } while (c != stop);
    return success;
}

// Reads an element's lead byte and name into `name_buffer` (up to '>'). `tail` is set when
// the data ends after nothing but blanks, TABs, CR and LF: a trailing line break is the end
// of the document, not an element.
Failure read_name(Reader& in, char* name_buffer, bool& tail) {
    unsigned char c;
    if (Error e = next(in, c)) return {e, Step::read, nullptr}; // lead byte, not examined
    if (c == 0) return layout(Step::name, zero_byte);
    bool blank = is_blank(c);
    std::size_t size = 0;
    for (;;) {
        if (Error e = next(in, c)) return {e, Step::read, nullptr};
        if (in.ended) {
            tail = blank;
            return blank ? success : layout(Step::name, ends_early);
        }
        if (c == 0) return layout(Step::name, zero_byte);
        if (c == '>') break;
        blank = blank && is_blank(c);
        if (size < name_max) name_buffer[size] = static_cast<char>(c);
        ++size;
        // A run of blanks longer than a name may still be a trailing tail: decide at its end.
        if (size > name_max && !blank) return layout(Step::name, "a name longer than 10 bytes");
    }
    if (size > name_max) return layout(Step::name, "a name longer than 10 bytes");
    name_buffer[size] = 0;
    return success;
}

// Builds the new document from the old one: the declaration, every element with the value
// of those named `name` replaced, and the element appended when none was found.
Failure rebuild(Reader& in, Output& out, char* name_buffer, const char* name, const char* value) {
    if (!put(out, declaration)) return overflow;
    unsigned char c;
    do { // the prolog, skipped
        if (Failure f = take(in, c, Step::prolog); f.number) return f;
    } while (c != '>');

    bool found = false;
    for (;;) {
        if (Error e = peek(in, c)) return {e, Step::read, nullptr};
        if (in.ended) break;
        bool tail = false;
        if (Failure f = read_name(in, name_buffer, tail); f.number) return f;
        if (tail) break;
        if (!put(out, '<') || !put(out, name_buffer) || !put(out, '>')) return overflow;
        const bool match = platform::text_equal(in.sys, name, name_buffer);
        if (match) {
            if (!put(out, value)) return overflow;
            if (Failure f = pass(in, out, '<', false, Step::value); f.number) return f;
            if (!put(out, '<')) return overflow;
            found = true;
        } else if (Failure f = pass(in, out, '<', true, Step::value); f.number) {
            return f;
        }
        if (Failure f = pass(in, out, '>', true, Step::closing); f.number) return f;
    }
    if (!found) {
        if (!put(out, '<') || !put(out, name) || !put(out, '>') || !put(out, value) || !put(out, "</") ||
            !put(out, name) || !put(out, '>'))
            return overflow;
    }
    return success;
}

// Takes the run lock on the document, then opens it. A run that finished while this one
// waited has put a new file in place: the lock is then taken again, on that one.
Failure open_locked(System& sys, File& doc, platform::Lock& lock) {
    unsigned waited = 0;
    unsigned pause = 1;
    for (;;) {
        Error e = platform::try_lock(sys, file_name, lock);
        if (e == platform::sharing_violation) {
            if (waited >= lock_wait_ms) return {e, Step::lock, "another run kept extern.xml busy"};
            platform::sleep_ms(sys, pause);
            waited += pause;
            pause = pause < 32 ? pause * 2 : 50;
            continue;
        }
        if (e) return {e, Step::open, nullptr}; // taking the lock opens the document
        if ((e = platform::open_read(sys, file_name, doc))) {
            platform::unlock(sys, lock);
            return {e, Step::open, nullptr};
        }
        bool same = false;
        e = platform::same_file(sys, doc, lock, same);
        if (e == platform::ok && same) return success;
        platform::close(sys, doc);
        platform::unlock(sys, lock);
        if (e) return {e, Step::lock, nullptr};
    }
}

Failure fail_with(Error e, Step step) { return {e, step, nullptr}; }

// Writes the new document to a temporary file and puts that in place of the document.
Failure write_replacing(System& sys, platform::Temp& temp, const Output& out) {
    Step step = Step::write;
    Error e = platform::write(sys, temp.file, out.data, out.size);
    if (!e) step = Step::flush, e = platform::flush(sys, temp.file);
    if (!e) step = Step::close, e = platform::close(sys, temp.file);
    if (!e) step = Step::replace, e = platform::replace(sys, temp);
    if (!e) return success;
    platform::discard_temp(sys, temp);
    return fail_with(e, step);
}

// Writes the new document over the old one in the same file. The bytes beyond the old end
// are written first, so that a full disk or a size limit fails before any old byte changes;
// when a later write fails, the file is cut back to its old length. This cannot be atomic:
// it serves only where a replace could not keep what the document has.
Failure write_in_place(System& sys, File file, platform::FileType type, Output& out) {
    if (type != platform::FileType::disk) { // a device or a pipe: the bytes go straight out
        if (Error e = platform::write(sys, file, out.data, out.size)) return fail_with(e, Step::write);
        return success;
    }
    std::uint64_t old_size = 0;
    if (Error e = platform::file_size(sys, file, old_size)) return fail_with(e, Step::position);
    const std::size_t head = old_size < out.size ? static_cast<std::size_t>(old_size) : out.size;
    const bool grows = head < out.size;
    auto cut_back = [&] {
        if (grows && platform::seek(sys, file, head) == platform::ok) platform::set_end(sys, file);
    };
    if (grows) {
        if (Error e = platform::seek(sys, file, head)) return fail_with(e, Step::position);
        if (Error e = platform::write(sys, file, out.data + head, out.size - head)) {
            cut_back();
            return fail_with(e, Step::write);
        }
    }
    if (Error e = platform::seek(sys, file, 0)) {
        cut_back();
        return fail_with(e, Step::position);
    }
    // A shorter document is written with an end mark after it (in place of the buffer's
    // final 0x00): should cutting the file fail, what is left of the old one lies outside
    // the document.
    const bool shrinks = out.size < old_size;
    if (shrinks) out.data[out.size] = static_cast<char>(end_mark);
    const Error written = platform::write(sys, file, out.data, head + (shrinks ? 1 : 0));
    out.data[out.size] = 0;
    if (written) {
        cut_back();
        return fail_with(written, Step::write);
    }
    if (shrinks) {
        if (Error e = platform::seek(sys, file, out.size)) return fail_with(e, Step::position);
        if (Error e = platform::set_end(sys, file)) return fail_with(e, Step::truncate);
    }
    if (Error e = platform::flush(sys, file)) return fail_with(e, Step::flush);
    return success;
}

// Puts the new document in place of the old one: through a temporary file and a replace
// where that keeps what the document has, else in place. Opening the document for writing
// first makes a read-only document fail before anything is made.
Failure write_back(System& sys, Output& out) {
    File file;
    if (Error e = platform::open_write(sys, file_name, file)) return fail_with(e, Step::reopen);
    platform::FileType type = platform::FileType::unknown;
    Failure f = success;
    platform::Temp temp;
    if (Error e = platform::file_type(sys, file, type)) {
        f = fail_with(e, Step::file_type);
    } else if (type == platform::FileType::unknown) {
        f = fail_with(shell::unknown_file_type, Step::file_type);
    } else if (type == platform::FileType::disk && platform::create_temp(sys, file_name, file, temp) == platform::ok) {
        // The document must not be open while it is replaced (Windows refuses that).
        if (Error closed = platform::close(sys, file)) {
            platform::discard_temp(sys, temp);
            return fail_with(closed, Step::close);
        }
        return write_replacing(sys, temp, out);
    } else {
        f = write_in_place(sys, file, type, out);
    }
    const Error closed = platform::close(sys, file);
    if (!f.number && closed) f = fail_with(closed, Step::close);
    return f;
}

Failure change_with_buffers(System& sys, const char* name, const char* value, char* name_buffer, char* data) {
    File doc;
    platform::Lock lock;
    if (Failure f = open_locked(sys, doc, lock); f.number) return f;
    Reader in{sys, doc, {}};
    Output out{sys, data};
    Failure f = rebuild(in, out, name_buffer, name, value);
    const Error closed = platform::close(sys, doc);
    if (!f.number && closed) f = fail_with(closed, Step::close);
    if (!f.number) f = write_back(sys, out);
    platform::unlock(sys, lock);
    return f;
}

} // namespace

Failure change_value(System& sys, const char* name, const char* value) {
    if (Failure f = check_arguments(sys, name, value); f.number) return f;
    auto* name_buffer = static_cast<char*>(platform::heap_get(sys, name_max + 1));
    if (!name_buffer) return fail_with(shell::no_memory, Step::heap_get);
    auto* data = static_cast<char*>(platform::heap_get(sys, document_max + 1));
    Failure f = data ? change_with_buffers(sys, name, value, name_buffer, data)
                     : fail_with(shell::no_memory, Step::heap_get);
    const Failure refused = fail_with(shell::release_refused, Step::heap_release);
    if (data && !platform::heap_release(sys, data) && !f.number) f = refused;
    if (!platform::heap_release(sys, name_buffer) && !f.number) f = refused;
    return f;
}

} // namespace settings
