// Files and directories for the end-to-end tests.
#include "tool.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace tool {

Process spawn(const std::string& program, std::vector<std::string> argv, const std::vector<std::string>& env,
              const std::string& dir, const Options& options, int captured) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe");
    const int pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        std::vector<char*> args;
        for (auto& arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        // What is not captured goes nowhere: a process left behind (Wine's services) must
        // not hold the test runner's output open.
        const int nothing = open("/dev/null", O_RDWR);
        dup2(nothing, 0);
        dup2(captured & 1 ? pipe_ends[1] : nothing, 1);
        dup2(captured & 2 ? pipe_ends[1] : nothing, 2);
        close(nothing);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        if (chdir(dir.c_str()) != 0) _exit(250);
        for (const auto& setting : env) putenv(const_cast<char*>(setting.c_str()));
        if (options.file_size_limit >= 0) {
            const auto limit = static_cast<rlim_t>(options.file_size_limit);
            const rlimit both{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &both) != 0) _exit(251);
        }
        if (options.unprivileged && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(252);
        }
        execvp(program.c_str(), args.data());
        _exit(253);
    }
    close(pipe_ends[1]);
    return {pid, pipe_ends[0]};
}

Result run(const std::string& dir, const std::string& tail, const Options& options) {
    return wait(start(dir, tail, options));
}

Collected collect(Process process) {
    // Reads until the process has ended and the pipe is drained; a process it left behind
    // may keep the pipe open, so its end is not waited for.
    Collected result{-1, {}};
    fcntl(process.output, F_SETFL, fcntl(process.output, F_GETFL) | O_NONBLOCK);
    char buffer[4096];
    bool ended = false;
    int status = 0;
    for (;;) {
        const ssize_t got = read(process.output, buffer, sizeof buffer);
        if (got > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0 || ended) break; // end of the pipe, or drained after the process ended
        ended = waitpid(process.pid, &status, WNOHANG) == process.pid;
        if (!ended) {
            pollfd wait_for{process.output, POLLIN, 0};
            poll(&wait_for, 1, 10);
        }
    }
    if (!ended) waitpid(process.pid, &status, 0);
    close(process.output);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return result;
}

std::string make_dir() {
    char name[] = "/tmp/extern-set-test.XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("mkdtemp");
    return name;
}

void remove_tree(const std::string& dir) {
    std::error_code ignored;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string list_dir(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
    std::string all;
    for (const auto& name : names) all += (all.empty() ? "" : " ") + name;
    return all;
}

} // namespace tool
