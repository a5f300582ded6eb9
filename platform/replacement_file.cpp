#include "platform/replacement_file.h"

#include <memory>
#include <new>

#include "platform/replacement_file_internal.h"

namespace pelorin::platform {
namespace {

namespace steps = replacement_steps;

// Another replacement under way in this process, or one left by a killed
// process that had the same number, may hold a name: the next one is tried.
constexpr unsigned temporary_name_attempts = 100;

std::string temporary_name(const std::string& name, unsigned attempt) {
    return name + "." + std::to_string(steps::process_number()) + "-" + std::to_string(attempt) +
           ".tmp";
}

bool create_beside(ReplacementFile& file) {
    for (unsigned attempt = 0; attempt < temporary_name_attempts; ++attempt) {
        file.temporary = temporary_name(file.name, attempt);
        const steps::Created created = steps::create_temporary(file);
        if (created != steps::Created::name_taken) return created == steps::Created::yes;
    }
    return false;
}

// Everything written is in the stream's buffer or on the device, without a
// reported error; the stream is closed either way.
bool close_written(ReplacementFile& file) {
    bool written = std::fflush(file.stream) == 0 && std::ferror(file.stream) == 0;
    written = written && steps::sync(file);
    written = std::fclose(file.stream) == 0 && written;
    file.stream = nullptr;
    return written;
}

}  // namespace

ReplacementFile* begin_replacement(std::string_view name) {
    try {
        auto file = std::make_unique<ReplacementFile>();
        file->name.assign(name);
        if (!steps::inspect_old(*file) || !create_beside(*file)) return nullptr;
        // A buffer of our own: with none given the C library may choose a
        // smaller one whatever size is asked for.
        (void)std::setvbuf(file->stream, file->buffer.data(), _IOFBF, file->buffer.size());
        return file.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::FILE* replacement_stream(ReplacementFile& file) {
    return file.stream;
}

bool finish_replacement(ReplacementFile* file) {
    const std::unique_ptr<ReplacementFile> owned(file);
    if (close_written(*file) && steps::move_into_place(*file)) return true;
    steps::remove_temporary(*file);
    return false;
}

void abandon_replacement(ReplacementFile* file) {
    const std::unique_ptr<ReplacementFile> owned(file);
    (void)std::fclose(file->stream);
    file->stream = nullptr;
    steps::remove_temporary(*file);
}

}  // namespace pelorin::platform
