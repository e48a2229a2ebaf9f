// Runs the native program: the fields of the command line become its arguments, and what
// it writes to standard error is its report.
#include "tool.h"

namespace tool {

Process start(const std::string& dir, const std::string& tail, const Options& options) {
    // "<program><text>\t<field>\t<field>...": argv[0] carries the text before the first TAB.
    std::vector<std::string> argv{EXTERN_SET_BINARY};
    for (char c : tail) {
        if (c == '\t') argv.emplace_back();
        else argv.back() += c;
    }
    return spawn(EXTERN_SET_BINARY, argv, {}, dir, options, 2);
}

Result wait(Process process) {
    const Collected collected = collect(process);
    return {collected.exit_code, collected.output};
}

} // namespace tool
