// The program shell: splits the command line into the argument table, chooses the command
// by its keyword and turns a failure into the report and the exit code.
#pragma once

#include "platform/platform.h"
#include "shell/failure.h"

namespace shell {

inline constexpr char keyword[] = "zmen";
inline constexpr int argument_entries = 11;

// Entry 0 is the program part, entries 1 to 10 the fields after the first to tenth TAB;
// null when not set. `count` is the number of TABs taken (at most 10).
struct Arguments {
    char* entry[argument_entries] = {};
    int count = 0;
};

// Splits `line` in place: every TAB becomes 0x00 and the field after it gets an entry.
// TABs past the tenth also end their field, but the fields after them are ignored.
Arguments split(char* line);

// Runs the command the command line names. Number 0: success.
Failure run(platform::System& sys, char* line);

// Reports `failure` and ends the process with its number.
[[noreturn]] void raise(platform::System& sys, const Failure& failure);

} // namespace shell
