// Runs the extern-set binary the way a caller does, in a directory of the test's own.
#pragma once

#include <string>
#include <vector>

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
// the program path, fields separated by TAB. Each runner (native, Wine) hands the program
// exactly that command line. The report is in `error_output`: on Windows the message box,
// as "<caption>: <text>" per box.
Result run(const std::string& dir, const std::string& tail, const Options& options = {});

// A started tool process.
struct Process {
    int pid;
    int output; // the pipe that carries its report
};

// Starts the tool without waiting; `wait` collects it.
Process start(const std::string& dir, const std::string& tail, const Options& options = {});
Result wait(Process process);

// A new empty directory, removed with `remove_tree`.
std::string make_dir();

// Starts `program` with `argv` (and `env` added to the environment) in `dir`; the pipe in
// the result carries what it writes to the descriptors in `captured`: 1 standard output,
// 2 standard error, 3 both.
Process spawn(const std::string& program, std::vector<std::string> argv, const std::vector<std::string>& env,
              const std::string& dir, const Options& options, int captured);
struct Collected {
    int exit_code;      // the exit status, or 1000 + the signal that ended the process
    std::string output; // all it wrote to the captured descriptor
};
Collected collect(Process process);

void remove_tree(const std::string& dir);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// Names in `dir`, sorted.
std::string list_dir(const std::string& dir);

// Wine only: the Windows form of a path, and the launcher started with `launcher_args`
// (WINEDEBUG set to `debug`; unless it is "-all", Wine's log is captured with the output).
std::string windows_path(const std::string& unix_path);
// The bytes in hexadecimal, as the launcher takes a command line.
std::string hex(const std::string& bytes);
Process start_wine(const std::string& dir, const std::vector<std::string>& launcher_args, const Options& options,
                   const char* debug);

} // namespace tool
