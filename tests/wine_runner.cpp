// Runs the Windows program under Wine through the launcher, which hands it the exact
// command line and reports its message boxes and exit code.
#include "tool.h"

#include <sstream>
#include <stdexcept>

namespace tool {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string windows_path(const std::string& unix_path) {
    std::string path = "Z:" + unix_path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

Process start_wine(const std::string& dir, const std::vector<std::string>& launcher_args, const Options& options,
                   const char* debug) {
    const std::string prefix = options.unprivileged ? WINE_PREFIX_NOBODY : WINE_PREFIX;
    std::vector<std::string> argv{"wine", windows_path(EXTERN_SET_LAUNCHER)};
    argv.insert(argv.end(), launcher_args.begin(), launcher_args.end());
    const std::string home = prefix.substr(0, prefix.rfind('/'));
    // With debugging output asked for, Wine's log (on standard error) is captured too.
    const bool logging = std::string(debug) != "-all";
    return spawn("wine", argv, {"WINEPREFIX=" + prefix, "WINEDEBUG=" + std::string(debug), "HOME=" + home}, dir,
                 options, logging ? 3 : 1);
}

Process start(const std::string& dir, const std::string& tail, const Options& options) {
    return start_wine(dir, {windows_path(EXTERN_SET_EXE), hex("extern-set.exe" + tail)}, options, "-all");
}

Result wait(Process process) {
    const Collected collected = collect(process);
    Result result;
    std::istringstream lines(collected.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back(); // the launcher writes CR LF
        if (line.rfind("exit ", 0) == 0) {
            result.exit_code = std::stoi(line.substr(5));
        } else if (line.rfind("box ", 0) == 0) { // "box <owner> <caption>|<text>"
            const std::size_t owner_end = line.find(' ', 4);
            const std::size_t bar = line.find('|', owner_end);
            const std::string owner = line.substr(4, owner_end - 4);
            result.error_output += (owner == "none" ? "" : "owned by a window: ") +
                                   line.substr(owner_end + 1, bar - owner_end - 1) + ": " + line.substr(bar + 1) + "\n";
        } else {
            result.error_output += "launcher: " + line + "\n";
        }
    }
    if (result.exit_code < 0) throw std::runtime_error("the launcher reported no exit code: " + collected.output);
    return result;
}

} // namespace tool
