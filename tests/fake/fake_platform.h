// A fake system for running the whole command in process: a directory held in memory, a
// heap that counts its blocks, and a fault that makes the k-th platform call fail.
#pragma once

#include "platform/platform.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace platform {

// The platform calls that can fail, as the fault counts them.
enum class Call {
    none, heap_get, heap_release, open_read, read, open_write, file_type, file_size, seek, write,
    set_end, flush, close, try_lock, same_file, create_temp, replace,
};
const char* call_name(Call call);

struct Node {
    std::string bytes;
    bool read_only = false;
};

struct OpenFile {
    std::shared_ptr<Node> node;
    std::size_t position = 0;
};

struct State {
    // The current directory: names to files. Renaming moves the file, as on a disk.
    std::map<std::string, std::shared_ptr<Node>> directory;
    bool directory_writable = true;
    std::map<std::intptr_t, OpenFile> open_files; // every open handle, the lock's included
    std::intptr_t next_handle = 3;
    std::intptr_t lock_holder = -1;
    std::set<void*> blocks; // heap blocks not yet released
    // Another run's document, put in place right after this run's first lock is taken: the
    // lock is then on a file that is no longer the document.
    std::shared_ptr<Node> replaced_after_lock;
    std::shared_ptr<Node> locked_node; // the file the lock was last taken on
    int next_temp = 0;

    // The fault: call number `fail_at` (counting from 1) fails with `error`. A failing
    // file_type call reports an unknown type.
    long fail_at = 0;
    Error error = 1117; // ERROR_IO_DEVICE
    bool partial_writes = true; // a failing write has written half its bytes (else none)
    long calls = 0;
    Call failed = Call::none;
};

} // namespace platform
