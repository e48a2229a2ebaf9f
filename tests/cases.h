// The end-to-end case table: a document, a command line, and what the tool must leave and
// say. Every runner of the real program (native, and the Windows one) runs this one table.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cases {

using namespace std::string_literals;

struct Case {
    const char* title;
    std::string tail;                  // the command line after the program path
    std::optional<std::string> before; // extern.xml before the run; none: no file
    std::string after;                 // extern.xml after a successful run
    int exit_code = 0;
    const char* message = nullptr;     // the failure message, when the run fails
};

// Shown by the test runner in place of the case's bytes.
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.title; }

inline const std::string D = R"(<?xml version="1.0" encoding="Windows-1250"?>)";
inline const std::string P = R"(<?xml version="1.0"?>)"; // some other prolog, as users have it

inline std::vector<Case> table() {
    const std::string x1948(1948, 'v'); // a value that makes the new document 2000 bytes
    const std::string long_value(3000, 'w');
    return {
        // Main paths.
        {"changes_an_element", "\tzmen\tport\t80", P + "<a>1</a><port>8</port><b>2</b>",
         D + "<a>1</a><port>80</port><b>2</b>"},
        {"appends_to_a_prolog_alone", "\tzmen\tport\t80", P, D + "<port>80</port>"},
        {"appends_after_all_elements", "\tzmen\tport\t80", P + "<a>1</a><b>2</b>",
         D + "<a>1</a><b>2</b><port>80</port>"},
        {"changes_every_element_of_the_name", "\tzmen\tport\t80", P + "<port>1</port><a>2</a><port>3</port>",
         D + "<port>80</port><a>2</a><port>80</port>"},
        {"shrinks_leaving_nothing_over", "\tzmen\tport\t1", P + "<port>123456789012345</port><z>1</z>",
         D + "<port>1</port><z>1</z>"},
        {"replaces_any_prolog", "\tzmen\ta\t1", "<!-- any text at all ><a>0</a>", D + "<a>1</a>"},
        {"empty_value", "\tzmen\tport\t", P + "<port>8</port>", D + "<port></port>"},
        {"keeps_empty_values_of_others", "\tzmen\tb\t2", P + "<a></a>", D + "<a></a><b>2</b>"},
        {"value_holding_gt_and_blanks", "\tzmen\tport\ta > b \"q\"", P, D + "<port>a > b \"q\"</port>"},
        {"value_with_a_blank", "\tzmen\tport\t80 80", P + "<port>1</port>", D + "<port>80 80</port>"},
        {"closing_part_kept_as_it_was", "\tzmen\tport\t80", P + "<port>8</x y>", D + "<port>80</x y>"},
        {"lead_byte_written_as_lt", "\tzmen\tb\t3", P + "<a>1</a>Xb>2</b>", D + "<a>1</a><b>3</b>"},
        {"names_compare_byte_for_byte", "\tzmen\tPort\t9", P + "<port>8</port>", D + "<port>8</port><Port>9</Port>"},
        {"empty_name", "\tzmen\t\tx", P + "<a>1</a>", D + "<a>1</a><>x</>"},
        {"empty_name_matches_empty_name", "\tzmen\t\ty", P + "<>x</><a>1</a>", D + "<>y</><a>1</a>"},
        {"name_of_ten_bytes", "\tzmen\tabcdefghij\t1", P, D + "<abcdefghij>1</abcdefghij>"},
        {"name_holding_lt", "\tzmen\ta<b\t1", P, D + "<a<b>1</a<b>"},
        {"surplus_fields_ignored", "\tzmen\tport\t80\t4\t5\t6\t7\t8\t9\t10\t11\t12", P, D + "<port>80</port>"},
        {"end_mark_ends_the_document", "\tzmen\ta\t2", P + "<a>1</a>\x1A<b>junk\x00\xff"s, D + "<a>2</a>"},
        {"end_mark_after_the_prolog", "\tzmen\ta\t2", P + "\x1A\x1A<a>", D + "<a>2</a>"},
        {"trailing_line_break_dropped", "\tzmen\ta\t2", P + "<a>1</a>\r\n", D + "<a>2</a>"},
        {"long_blank_tail_dropped", "\tzmen\ta\t2", P + "<a>1</a>\r\n\r\n\t \r\n\r\n  \n\n", D + "<a>2</a>"},
        {"blank_tail_then_end_mark", "\tzmen\ta\t2", P + "\n\x1Ajunk", D + "<a>2</a>"},
        {"line_break_between_elements", "\tzmen\tport\t80", P + "\r\n<port>8</port>",
         D + "<\n<port>8</port><port>80</port>"},
        {"new_document_of_2000_bytes", "\tzmen\ta\t" + x1948, P, D + "<a>" + x1948 + "</a>"},

        // Command lines that run nothing.
        {"no_arguments", "", P, P},
        {"blanks_are_no_separator", " zmen port 80", P, P},
        {"keyword_in_capitals", "\tZMEN\tport\t80", P, P},
        {"keyword_capitalized", "\tZmen\tport\t80", P, P},
        {"keyword_with_a_blank", "\tzmen \tport\t80", P, P},
        {"other_keyword_opens_nothing", "\tset\tport\t80", std::nullopt, ""},

        // Failures.
        {"missing_document", "\tzmen\tport\t80", std::nullopt, "", 2, "Runtime error   2 at 00000003"},
        {"no_name", "\tzmen", P, "", 87, "Runtime error  87 at 00000001"},
        {"no_value", "\tzmen\tport", P, "", 87, "Runtime error  87 at 00000001"},
        {"absent_value_opens_nothing", "\tzmen\tport", std::nullopt, "", 87, "Runtime error  87 at 00000001"},
        {"name_of_eleven_bytes", "\tzmen\tabcdefghijk\t1", P, "", 87, "Runtime error  87 at 00000001"},
        {"name_holding_gt", "\tzmen\ta>b\t1", P, "", 87, "Runtime error  87 at 00000001"},
        {"name_holding_end_mark", "\tzmen\ta\x1A\t1", P, "", 87, "Runtime error  87 at 00000001"},
        {"value_holding_lt", "\tzmen\ta\t1<2", P, "", 87, "Runtime error  87 at 00000001"},
        {"value_holding_end_mark", "\tzmen\ta\t1\x1A", P, "", 87, "Runtime error  87 at 00000001"},
        {"empty_file", "\tzmen\ta\t1", "", "", 100, "Runtime error 100 at 00000006"},
        {"no_gt_at_all", "\tzmen\ta\t1", "<?xml version", "", 100, "Runtime error 100 at 00000006"},
        {"end_mark_inside_the_prolog", "\tzmen\ta\t1", "<?xml\x1A?>", "", 100, "Runtime error 100 at 00000006"},
        {"zero_inside_the_prolog", "\tzmen\ta\t1", "<?x\x00ml?><a>1</a>"s, "", 100, "Runtime error 100 at 00000006"},
        {"ends_inside_a_name", "\tzmen\ta\t1", P + "<abc", "", 100, "Runtime error 100 at 00000007"},
        {"name_of_eleven_bytes_in_document", "\tzmen\ta\t1", P + "<abcdefghijk>1</a>", "", 100,
         "Runtime error 100 at 00000007"},
        {"zero_inside_a_name", "\tzmen\ta\t1", P + "<a\x00>1</a>"s, "", 100, "Runtime error 100 at 00000007"},
        {"zero_as_lead_byte", "\tzmen\ta\t1", P + "\x00" "a>1</a>"s, "", 100, "Runtime error 100 at 00000007"},
        {"text_after_the_last_element", "\tzmen\ta\t1", P + "<a>1</a>\n x", "", 100, "Runtime error 100 at 00000007"},
        {"ends_inside_a_value", "\tzmen\ta\t1", P + "<a>123", "", 100, "Runtime error 100 at 00000008"},
        {"end_mark_inside_a_value", "\tzmen\tb\t1", P + "<a>1\x1A" "2</a>", "", 100, "Runtime error 100 at 00000008"},
        {"zero_inside_a_value", "\tzmen\tb\t1", P + "<a>1\x00</a>"s, "", 100, "Runtime error 100 at 00000008"},
        {"ends_inside_a_closing_part", "\tzmen\ta\t1", P + "<a>1</a", "", 100, "Runtime error 100 at 00000009"},
        {"zero_inside_a_closing_part", "\tzmen\ta\t1", P + "<a>1</\x00>"s, "", 100, "Runtime error 100 at 00000009"},
        {"new_document_of_2001_bytes", "\tzmen\ta\tv" + x1948, P, "", 201, "Runtime error 201 at 0000000A"},
        {"overflow_met_before_a_layout_fault", "\tzmen\ta\t1", P + "<b>" + long_value + "</b><abcdefghijkl>", "", 201,
         "Runtime error 201 at 0000000A"},
        {"layout_fault_met_before_an_overflow", "\tzmen\ta\t1", P + "<abcdefghijkl>" + long_value + "</b>", "", 100,
         "Runtime error 100 at 00000007"},
        {"long_value_overflows", "\tzmen\tb\t" + long_value.substr(0, 1990), P + "<b>1</b>", "", 201,
         "Runtime error 201 at 0000000A"},
    };
}

} // namespace cases
