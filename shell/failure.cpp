#include "shell/failure.h"

namespace shell {
namespace {

struct Text {
    std::uint32_t key;
    const char* text;
};

constexpr Text step_texts[] = {
    {0x01, "the command line"},
    {0x02, "getting a buffer"},
    {0x03, "opening extern.xml for reading"},
    {0x04, "waiting for another run to finish with extern.xml"},
    {0x05, "reading extern.xml"},
    {0x06, "extern.xml, in the prolog"},
    {0x07, "extern.xml, in an element name"},
    {0x08, "extern.xml, in an element value"},
    {0x09, "extern.xml, in an element's closing part"},
    {0x0A, "building the new extern.xml"},
    {0x0B, "opening extern.xml for writing"},
    {0x0C, "telling the type of extern.xml"},
    {0x0D, "finding a position in extern.xml"},
    {0x0E, "writing extern.xml"},
    {0x0F, "flushing extern.xml to the disk"},
    {0x10, "cutting extern.xml to its new length"},
    {0x11, "putting the new extern.xml in place"},
    {0x12, "closing extern.xml"},
    {0x13, "returning a buffer"},
};

constexpr Text cause_texts[] = {
    {2, "file not found"},
    {3, "path not found"},
    {4, "too many open files"},
    {5, "access denied"},
    {8, "not enough memory"},
    {31, "device error"},
    {32, "the file is in use"},
    {87, "invalid argument"},
    {100, "not a settings document"},
    {105, "unknown file type"},
    {109, "broken pipe"},
    {112, "the disk is full"},
    {201, "the document would exceed 2000 bytes"},
    {203, "out of memory"},
    {204, "the heap refused a release"},
    {206, "file name too long"},
    {223, "file too large"},
};

template <std::size_t N>
const char* find(const Text (&table)[N], std::uint32_t key) {
    for (const Text& t : table)
        if (t.key == key) return t.text;
    return nullptr;
}

struct Line {
    char* out;
    std::size_t capacity;
    std::size_t size;
};

void append(Line& line, const char* text) {
    while (*text && line.size + 1 < line.capacity) line.out[line.size++] = *text++;
    line.out[line.size] = 0;
}

// Writes `value` in `base` right to left, ending before `end`, in at least `width` digits
// (padding with `pad`). Returns the first position written.
char* put_number(char* end, std::uint32_t value, unsigned base, int width, char pad) {
    const char digits[] = "0123456789ABCDEF";
    char* p = end;
    do {
        *--p = digits[value % base];
        value /= base;
        --width;
    } while (value);
    while (width-- > 0) *--p = pad;
    return p;
}

} // namespace

std::size_t format_message(std::uint32_t number, std::uint32_t location, char (&out)[message_capacity]) {
    char field[12];
    char* end = field + sizeof field - 1;
    *end = 0;
    const char* digits = put_number(end, number, 10, 3, ' ');
    char hex[9];
    hex[8] = 0;
    put_number(hex + 8, location, 16, 8, '0');
    Line line{out, message_capacity, 0};
    append(line, "Runtime error ");
    append(line, digits);
    append(line, " at ");
    append(line, hex);
    return line.size;
}

std::size_t format_detail(const Failure& failure, char (&out)[detail_capacity]) {
    const auto step = static_cast<std::uint32_t>(failure.step);
    Line line{out, detail_capacity, 0};
    append(line, "extern-set: ");
    const char* where = find(step_texts, step);
    append(line, where ? where : "a step");
    append(line, ": ");
    const char* cause = failure.why ? failure.why
                                    : find(cause_texts, failure.number);
    if (cause) {
        append(line, cause);
    } else {
        char number[12];
        number[11] = 0;
        append(line, "error ");
        append(line, put_number(number + 11, failure.number, 10, 1, ' '));
    }
    return line.size;
}

} // namespace shell
