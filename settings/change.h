// The value change command ("zmen"): sets every element named `name` in extern.xml to
// `value`, or appends such an element when none carries the name.
#pragma once

#include "platform/platform.h"
#include "shell/failure.h"

namespace settings {

// How long a run waits for another run on the same document before it gives up (32).
inline constexpr unsigned lock_wait_ms = 10000;

// Reads extern.xml in the current directory once, front to back, builds the new document in
// memory and puts it in place of the old one, so that the file always holds the whole old
// or the whole new document. `name` and `value` may be null (absent arguments).
shell::Failure change_value(platform::System& sys, const char* name, const char* value);

} // namespace settings
