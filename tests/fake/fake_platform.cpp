// The fake platform layer: linked in place of the real one, it keeps the document in memory
// and fails the platform call the test chooses.
#include "fake_platform.h"

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

State& state(System& sys) { return *sys.state; }

// Counts the call; true when it is the one that must fail.
bool fault(System& sys, Call call) {
    State& s = state(sys);
    if (++s.calls != s.fail_at) return false;
    s.failed = call;
    return true;
}

OpenFile* find(System& sys, std::intptr_t handle) {
    auto it = state(sys).open_files.find(handle);
    return it == state(sys).open_files.end() ? nullptr : &it->second;
}

std::intptr_t open_node(System& sys, std::shared_ptr<Node> node) {
    const std::intptr_t handle = state(sys).next_handle++;
    state(sys).open_files[handle] = {std::move(node), 0};
    return handle;
}

} // namespace

const char* call_name(Call call) {
    static const char* const names[] = {"none", "heap_get", "heap_release", "open_read", "read", "open_write",
                                        "file_type", "file_size", "seek", "write", "set_end", "flush", "close",
                                        "try_lock", "same_file", "create_temp", "replace"};
    return names[static_cast<int>(call)];
}

void start(System& sys, int argc, char** argv) {
    sys.argc = argc;
    sys.argv = argv;
}

char* command_line(System& sys) { return sys.line; }

void fail(System&, const char*, const char*, std::uint32_t) { std::abort(); }

void sleep_ms(System&, unsigned) {}

void* heap_get(System& sys, std::size_t size) {
    if (fault(sys, Call::heap_get)) return nullptr;
    void* block = std::malloc(size);
    state(sys).blocks.insert(block);
    return block;
}

bool heap_release(System& sys, void* block) {
    // A refused release still takes the block back here, so that the test sees no leak of
    // its own making.
    const bool refused = fault(sys, Call::heap_release);
    state(sys).blocks.erase(block);
    std::free(block);
    return !refused;
}

bool text_equal(System&, const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

std::size_t text_length(System&, const char* text) { return std::strlen(text); }

void text_copy(System&, char* to, const char* text) { std::strcpy(to, text); }

Error open_read(System& sys, const char* path, File& out) {
    if (fault(sys, Call::open_read)) return state(sys).error;
    auto it = state(sys).directory.find(path);
    if (it == state(sys).directory.end()) return file_not_found;
    out.handle = open_node(sys, it->second);
    return ok;
}

Error read(System& sys, File file, void* buffer, std::size_t capacity, std::size_t& got) {
    if (fault(sys, Call::read)) return state(sys).error;
    OpenFile& f = *find(sys, file.handle);
    const std::string& bytes = f.node->bytes;
    got = f.position < bytes.size() ? std::min(capacity, bytes.size() - f.position) : 0;
    std::memcpy(buffer, bytes.data() + f.position, got);
    f.position += got;
    return ok;
}

Error open_write(System& sys, const char* path, File& out) {
    if (fault(sys, Call::open_write)) return state(sys).error;
    auto it = state(sys).directory.find(path);
    if (it == state(sys).directory.end()) return file_not_found;
    if (it->second->read_only) return access_denied;
    out.handle = open_node(sys, it->second);
    return ok;
}

Error file_type(System& sys, File, FileType& out) {
    out = fault(sys, Call::file_type) ? FileType::unknown : FileType::disk;
    return ok;
}

Error file_size(System& sys, File file, std::uint64_t& out) {
    if (fault(sys, Call::file_size)) return state(sys).error;
    out = find(sys, file.handle)->node->bytes.size();
    return ok;
}

Error seek(System& sys, File file, std::uint64_t offset) {
    if (fault(sys, Call::seek)) return state(sys).error;
    find(sys, file.handle)->position = static_cast<std::size_t>(offset);
    return ok;
}

Error write(System& sys, File file, const void* data, std::size_t size) {
    const bool failing = fault(sys, Call::write);
    OpenFile& f = *find(sys, file.handle);
    const std::size_t done = !failing ? size : state(sys).partial_writes ? size / 2 : 0;
    std::string& bytes = f.node->bytes;
    if (bytes.size() < f.position + done) bytes.resize(f.position + done);
    bytes.replace(f.position, done, static_cast<const char*>(data), done);
    f.position += done;
    return failing ? state(sys).error : ok;
}

Error set_end(System& sys, File file) {
    if (fault(sys, Call::set_end)) return state(sys).error;
    OpenFile& f = *find(sys, file.handle);
    f.node->bytes.resize(f.position);
    return ok;
}

Error flush(System& sys, File) { return fault(sys, Call::flush) ? state(sys).error : ok; }

Error close(System& sys, File& file) {
    if (file.handle == -1) return ok;
    // A failing close still releases the handle, as the systems do.
    const bool failing = fault(sys, Call::close);
    state(sys).open_files.erase(file.handle);
    file.handle = -1;
    return failing ? state(sys).error : ok;
}

Error try_lock(System& sys, const char* path, Lock& out) {
    if (fault(sys, Call::try_lock)) return state(sys).error;
    auto it = state(sys).directory.find(path);
    if (it == state(sys).directory.end()) return file_not_found;
    if (state(sys).lock_holder != -1) return sharing_violation;
    out.handle = state(sys).lock_holder = open_node(sys, it->second);
    state(sys).locked_node = it->second;
    if (state(sys).replaced_after_lock) it->second = std::move(state(sys).replaced_after_lock);
    return ok;
}

void unlock(System& sys, Lock& lock) {
    if (lock.handle == -1) return;
    state(sys).open_files.erase(lock.handle);
    state(sys).lock_holder = -1;
    lock.handle = -1;
}

Error same_file(System& sys, File doc, const Lock& lock, bool& same) {
    if (fault(sys, Call::same_file)) return state(sys).error;
    same = find(sys, doc.handle)->node == find(sys, lock.handle)->node;
    return ok;
}

Error create_temp(System& sys, const char* path, File doc, Temp& out) {
    if (fault(sys, Call::create_temp)) return state(sys).error;
    if (!state(sys).directory_writable) return access_denied;
    (void)doc;
    std::strcpy(out.target, path);
    std::strcpy(out.path, ("." + std::string(path) + "." + std::to_string(state(sys).next_temp++)).c_str());
    auto node = std::make_shared<Node>();
    state(sys).directory[out.path] = node;
    out.file.handle = open_node(sys, node);
    return ok;
}

Error replace(System& sys, Temp& temp) {
    if (fault(sys, Call::replace)) return state(sys).error;
    auto& directory = state(sys).directory;
    directory[temp.target] = directory[temp.path];
    directory.erase(temp.path);
    temp.path[0] = 0;
    return ok;
}

void discard_temp(System& sys, Temp& temp) {
    if (temp.file.handle != -1) state(sys).open_files.erase(temp.file.handle);
    temp.file.handle = -1;
    if (temp.path[0]) state(sys).directory.erase(temp.path);
    temp.path[0] = 0;
}

} // namespace platform
