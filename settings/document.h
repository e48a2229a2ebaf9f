// The byte layout of the settings document extern.xml.
//
// prolog      every byte up to and including the first '>'; written as `declaration`
// element     lead byte ('<'), name (0..10 bytes, no '>' or 0x00), '>',
//             value (no '<' or 0x00), '<', closing part (no '>' or 0x00), '>'
// end         the physical end of the file, or a 0x1A byte, directly after a '>'
//
// Nothing else stands between the parts: no line breaks, no blanks, no escaping.
#pragma once

#include <cstddef>

namespace settings {

inline constexpr char file_name[] = "extern.xml";
inline constexpr char declaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1250\"?>";
inline constexpr std::size_t declaration_size = sizeof declaration - 1; // 45
inline constexpr std::size_t name_max = 10;      // bytes of one element name
inline constexpr std::size_t document_max = 2000; // bytes of a whole rewritten document
inline constexpr unsigned char end_mark = 0x1A;
inline constexpr std::size_t transfer_size = 128; // bytes per read from the file

static_assert(declaration_size == 45);

} // namespace settings
