#include "tool.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tool {
namespace {

std::vector<std::string> split_fields(const std::string& tail) {
    std::vector<std::string> fields;
    std::string current;
    for (char c : tail) {
        if (c == '\t') {
            fields.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    fields.push_back(current);
    return fields;
}

} // namespace

Process start(const std::string& dir, const std::string& tail, const Options& options) {
    std::vector<std::string> fields = split_fields(tail);
    fields[0] = EXTERN_SET_BINARY + fields[0];
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe");
    const int pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& field : fields) argv.push_back(field.data());
        argv.push_back(nullptr);
        dup2(pipe_ends[1], 2);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        if (chdir(dir.c_str()) != 0) _exit(250);
        if (options.file_size_limit >= 0) {
            rlimit limit{static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(251);
        }
        if (options.unprivileged && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(252);
        }
        execv(EXTERN_SET_BINARY, argv.data());
        _exit(253);
    }
    close(pipe_ends[1]);
    return {pid, pipe_ends[0]};
}

Result wait(Process process) {
    Result result;
    char buffer[512];
    ssize_t got;
    while ((got = read(process.error_pipe, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        result.error_output.append(buffer, static_cast<std::size_t>(got));
    }
    close(process.error_pipe);
    int status = 0;
    while (waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return result;
}

Result run(const std::string& dir, const std::string& tail, const Options& options) {
    return wait(start(dir, tail, options));
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
