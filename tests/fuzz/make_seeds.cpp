// Writes the end-to-end case table as the fuzz target's seed corpus: one file per case,
// "<name> TAB <value> TAB <document>".
#include "../cases.h"

#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    int written = 0;
    for (const cases::Case& c : cases::table()) {
        if (!c.before) continue;
        std::vector<std::string> fields{""};
        for (char ch : c.tail) {
            if (ch == '\t') fields.emplace_back();
            else fields.back() += ch;
        }
        const std::string name = fields.size() > 2 ? fields[2] : "a";
        const std::string value = fields.size() > 3 ? fields[3] : "1";
        std::ofstream(std::string(argv[1]) + "/" + c.title, std::ios::binary) << name << '\t' << value << '\t' << *c.before;
        ++written;
    }
    return written > 0 ? 0 : 1;
}
