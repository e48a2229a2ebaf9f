// extern-set: sets one named value in extern.xml. See README.md.
#include "platform/platform.h"
#include "shell/shell.h"

int main(int argc, char** argv) {
    platform::System sys;
    platform::start(sys, argc, argv);
    const shell::Failure failure = shell::run(sys, platform::command_line(sys));
    if (failure.number) shell::raise(sys, failure);
    return 0;
}
