#include "shell/shell.h"

#include "settings/change.h"

namespace shell {

Arguments split(char* line) {
    Arguments args;
    args.entry[0] = line;
    for (char* p = line; *p; ++p) {
        if (*p != '\t') continue;
        *p = 0;
        if (args.count < argument_entries - 1) args.entry[++args.count] = p + 1;
    }
    return args;
}

Failure run(platform::System& sys, char* line) {
    if (!line) return {no_memory, Step::heap_get, nullptr};
    const Arguments args = split(line);
    if (args.entry[1] && platform::text_equal(sys, keyword, args.entry[1]))
        return settings::change_value(sys, args.entry[2], args.entry[3]);
    return {};
}

void raise(platform::System& sys, const Failure& failure) {
    char message[message_capacity];
    format_message(failure.number, static_cast<std::uint32_t>(failure.step), message);
    char detail[detail_capacity];
    format_detail(failure, detail);
    platform::fail(sys, message, detail, failure.number);
}

} // namespace shell
