// Every platform call of a run made to fail, one at a time: the run must end with that
// call's error and step, leave the old or the new document whole, no temporary file, no open
// handle, no lock and no heap block.
#include "fake/fake_platform.h"
#include "settings/change.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using platform::Call;
using shell::Step;

const std::string D = R"(<?xml version="1.0" encoding="Windows-1250"?>)";
const std::string P = R"(<?xml version="1.0"?>)";
const std::string long_value(150, 'x'); // documents longer than one 128-byte transfer

struct Scenario {
    const char* title;
    std::string before;
    const char* line; // the command line
    std::string after;
    bool directory_writable = true;
    bool partial_writes = true; // a failing write has written half its bytes
};

struct Expected {
    std::uint32_t number;
    Step step;
};

// What a run reports when `call` fails with `error`; number 0: the run recovers.
Expected expected_for(Call call, std::uint32_t error) {
    switch (call) {
    case Call::heap_get: return {shell::no_memory, Step::heap_get};
    case Call::heap_release: return {shell::release_refused, Step::heap_release};
    case Call::open_read:
    case Call::try_lock: return {error, Step::open};
    case Call::same_file: return {error, Step::lock};
    case Call::read: return {error, Step::read};
    case Call::open_write: return {error, Step::reopen};
    case Call::file_type: return {shell::unknown_file_type, Step::file_type};
    case Call::file_size:
    case Call::seek: return {error, Step::position};
    case Call::write: return {error, Step::write};
    case Call::set_end: return {error, Step::truncate};
    case Call::flush: return {error, Step::flush};
    case Call::close: return {error, Step::close};
    case Call::replace: return {error, Step::replace};
    case Call::create_temp: return {0, Step::none}; // writes in place instead
    case Call::none: break;
    }
    return {0, Step::none};
}

const Scenario scenarios[] = {
    {"change", P + "<a>" + long_value + "</a><port>8</port><b>2</b>", "p\tzmen\tport\t80",
     D + "<a>" + long_value + "</a><port>80</port><b>2</b>"},
    {"append", P + "<a>1</a>", "p\tzmen\tport\t80", D + "<a>1</a><port>80</port>"},
    {"end_mark_tail", P + "<a>1</a>\x1A" + long_value, "p\tzmen\ta\t22", D + "<a>22</a>"},
    // In place. A write that the device cuts short part way cannot be undone in place, so
    // here a failing call changes nothing; through a temporary file it may.
    // The document grows: a failed write must not leave it longer than it was.
    {"in_place_grows", P + "<a>1</a>", "p\tzmen\tport\t80", D + "<a>1</a><port>80</port>", false, false},
    // In place, the document shrinks.
    {"in_place_shrinks", P + "<a>" + long_value + "</a>", "p\tzmen\ta\t1", D + "<a>1</a>", false, false},
};

TEST(Faults, EveryPlatformCallFailingLeavesTheOldOrTheNewDocument) {
    for (const Scenario& scenario : scenarios) {
        long points = 0;
        for (long k = 1;; ++k) {
            platform::State state;
            state.directory["extern.xml"] = std::make_shared<platform::Node>(platform::Node{scenario.before});
            state.directory_writable = scenario.directory_writable;
            state.fail_at = k;
            state.partial_writes = scenario.partial_writes;
            platform::System sys;
            sys.state = &state;
            std::string line = scenario.line;
            const shell::Failure failure = shell::run(sys, line.data());

            const std::string where = std::string(scenario.title) + ", call " + std::to_string(k) + " (" +
                                      platform::call_name(state.failed) + ")";
            const std::string doc = state.directory.count("extern.xml") ? state.directory["extern.xml"]->bytes : "<gone>";
            // In place, a failed cut leaves the new document, an end mark, and old bytes that
            // lie outside the document: it reads as the new one.
            const bool reads_as_new = doc.compare(0, scenario.after.size() + 1, scenario.after + '\x1A') == 0;
            EXPECT_TRUE(doc == scenario.before || doc == scenario.after ||
                        (!scenario.directory_writable && reads_as_new &&
                         (state.failed == Call::seek || state.failed == Call::set_end)))
                << where << ": " << doc;
            EXPECT_EQ(state.directory.size(), 1u) << where << ": a temporary file was left";
            EXPECT_TRUE(state.open_files.empty()) << where << ": a handle was left open";
            EXPECT_EQ(state.lock_holder, -1) << where << ": the lock was kept";
            EXPECT_TRUE(state.blocks.empty()) << where << ": a heap block leaked";

            if (state.failed == Call::none) { // the run got past its last call
                EXPECT_EQ(failure.number, 0u) << where;
                EXPECT_EQ(doc, scenario.after) << where;
                break;
            }
            ++points;
            const Expected expected = expected_for(state.failed, state.error);
            EXPECT_EQ(failure.number, expected.number) << where;
            EXPECT_EQ(failure.step, expected.step) << where;
            if (expected.number == 0) {
                EXPECT_EQ(doc, scenario.after) << where;
            }
        }
        std::printf("%s: %ld fault points\n", scenario.title, points);
    }
}

// A run that finished between this run's lock and its open has put a new document in place:
// this run must take the lock again, on the new document, and change that one.
TEST(Lock, IsTakenAgainWhenTheDocumentWasReplaced) {
    platform::State state;
    const auto old_node = std::make_shared<platform::Node>(platform::Node{P + "<a>1</a>"});
    state.directory["extern.xml"] = old_node;
    const auto other_runs = std::make_shared<platform::Node>(platform::Node{D + "<a>1</a><b>2</b>"});
    state.replaced_after_lock = other_runs;
    platform::System sys;
    sys.state = &state;
    std::string line = "p\tzmen\tc\t3";
    const shell::Failure failure = shell::run(sys, line.data());
    EXPECT_EQ(failure.number, 0u);
    EXPECT_EQ(state.directory["extern.xml"]->bytes, D + "<a>1</a><b>2</b><c>3</c>");
    EXPECT_EQ(old_node->bytes, P + "<a>1</a>");
    EXPECT_EQ(state.locked_node, other_runs) << "the lock must end up on the document in place";
    EXPECT_TRUE(state.open_files.empty());
    EXPECT_EQ(state.lock_holder, -1);
}

} // namespace
