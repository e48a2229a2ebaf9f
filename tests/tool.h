// Runs the extern-set binary the way a caller does, in a directory of the test's own.
#pragma once

#include <string>

namespace tool {

struct Options {
    bool unprivileged = false;    // run as uid/gid 65534 (nobody)
    long file_size_limit = -1;    // RLIMIT_FSIZE in bytes; -1 leaves it
};

struct Result {
    int exit_code = -1;
    std::string error_output;     // all the tool wrote to standard error
    std::string first_line() const { return error_output.substr(0, error_output.find('\n')); }
};

// Starts the tool in `dir` with the command line "<program><tail>": `tail` is what follows
// the program path, fields separated by TAB. The process gets the fields after the first
// TAB as its arguments and the program path plus any text before the first TAB as argv[0],
// so the command line the tool rebuilds is exactly the one given.
Result run(const std::string& dir, const std::string& tail, const Options& options = {});

// A started tool process and the pipe that carries its standard error.
struct Process {
    int pid;
    int error_pipe;
};

// Starts the tool without waiting; `wait` collects it.
Process start(const std::string& dir, const std::string& tail, const Options& options = {});
Result wait(Process process);

// A new empty directory, removed with `remove_tree`.
std::string make_dir();
void remove_tree(const std::string& dir);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// Names in `dir`, sorted.
std::string list_dir(const std::string& dir);

} // namespace tool
