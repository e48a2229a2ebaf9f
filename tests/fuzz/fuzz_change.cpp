// Fuzz target: the value change command on any document, name and value, in process on the
// fake system. Input: <name> TAB <value> TAB <document>; without two TABs the whole input is
// the document, changed with name "a" and value "1".
//
// Properties: no crash, hang or undefined behaviour; arguments the document cannot hold give
// 87; otherwise the result is 0, 100 or 201; a failed run leaves the document unchanged; a
// new document has at most 2000 bytes, every element named N carries V, and the same change
// on it gives the same bytes again; nothing is left open, locked or allocated.
#include "fake/fake_platform.h"
#include "settings/change.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const std::string D = R"(<?xml version="1.0" encoding="Windows-1250"?>)";

void require(bool holds) {
    if (!holds) std::abort();
}

struct Outcome {
    std::uint32_t number;
    std::string document;
};

Outcome change(const std::string& document, const std::string& name, const std::string& value) {
    platform::State state;
    state.directory["extern.xml"] = std::make_shared<platform::Node>(platform::Node{document});
    platform::System sys;
    sys.state = &state;
    const shell::Failure failure = settings::change_value(sys, name.c_str(), value.c_str());
    require(state.directory.size() == 1 && state.open_files.empty() && state.blocks.empty() &&
            state.lock_holder == -1);
    return {failure.number, state.directory["extern.xml"]->bytes};
}

bool holds_any(const std::string& text, char a, char b) {
    return text.find(a) != std::string::npos || text.find(b) != std::string::npos;
}

// Checks, with a reader of its own, that every element named `name` carries `value` and
// that there is one.
void check_elements(const std::string& doc, const std::string& name, const std::string& value) {
    require(doc.compare(0, D.size(), D) == 0);
    std::size_t at = D.size();
    bool found = false;
    while (at < doc.size()) {
        require(doc[at] == '<');
        const std::size_t name_end = doc.find('>', at + 1);
        const std::size_t value_end = doc.find('<', name_end + 1);
        const std::size_t close_end = doc.find('>', value_end + 1);
        require(name_end != std::string::npos && value_end != std::string::npos && close_end != std::string::npos);
        if (doc.compare(at + 1, name_end - at - 1, name) == 0 && name_end - at - 1 == name.size()) {
            require(doc.compare(name_end + 1, value_end - name_end - 1, value) == 0 &&
                    value_end - name_end - 1 == value.size());
            found = true;
        }
        at = close_end + 1;
    }
    require(found);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string name = "a";
    std::string value = "1";
    std::string document = input;
    const std::size_t first = input.find('\t');
    const std::size_t second = first == std::string::npos ? first : input.find('\t', first + 1);
    if (second != std::string::npos) {
        name = input.substr(0, first);
        value = input.substr(first + 1, second - first - 1);
        document = input.substr(second + 1);
    }
    // The command line cannot carry a 0x00: a name or value ends at the first.
    name = name.c_str();
    value = value.c_str();

    const Outcome outcome = change(document, name, value);
    if (name.size() > 10 || holds_any(name, '>', '\x1A') || holds_any(value, '<', '\x1A')) {
        require(outcome.number == 87 && outcome.document == document);
        return 0;
    }
    require(outcome.number == 0 || outcome.number == 100 || outcome.number == 201);
    if (outcome.number != 0) {
        require(outcome.document == document);
        return 0;
    }
    require(outcome.document.size() <= 2000);
    check_elements(outcome.document, name, value);
    const Outcome again = change(outcome.document, name, value);
    require(again.number == 0 && again.document == outcome.document);
    return 0;
}
