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

// The temporary beside the old file; or, where the folder takes no new
// file, the old file itself.
bool create_beside(ReplacementFile& file) {
    for (unsigned attempt = 0; attempt < temporary_name_attempts; ++attempt) {
        file.temporary = temporary_name(file.name, attempt);
        file.error = 0;  // a name taken is no failure while the next may be free
        const steps::Created created = steps::create_temporary(file);
        if (created == steps::Created::name_taken) continue;
        if (created == steps::Created::refused && file.old_is_file) {
            file.temporary.clear();
            file.error = 0;  // the folder's refusal: the file itself may be written
            file.in_place = steps::open_in_place(file);
            return file.in_place;
        }
        return created == steps::Created::yes;
    }
    return false;
}

// Everything written is in the stream's buffer or on the device, without a
// reported error; the stream is closed either way.
bool close_written(ReplacementFile& file) {
    bool written = std::fflush(file.stream) == 0 && std::ferror(file.stream) == 0;
    if (!written) steps::note_error(file);
    written = written && steps::sync(file);
    if (std::fclose(file.stream) != 0 && written) {
        steps::note_error(file);
        written = false;
    }
    file.stream = nullptr;
    return written;
}

bool fail(const ReplacementFile& file, ReplacementError* error) {
    if (error != nullptr) {
        error->file = file.name;
        error->reason = steps::describe_error(file.error);
    }
    return false;
}

}  // namespace

ReplacementFile* begin_replacement(std::string_view name, ReplacementError* error) {
    try {
        auto file = std::make_unique<ReplacementFile>();
        file->name.assign(name);
        if (!steps::inspect_old(*file) || !create_beside(*file)) {
            (void)fail(*file, error);
            return nullptr;
        }
        // A buffer of our own: with none given the C library may choose a
        // smaller one whatever size is asked for.
        if (!file->in_place)
            (void)std::setvbuf(file->stream, file->buffer.data(), _IOFBF, file->buffer.size());
        return file.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool replacement_write(ReplacementFile& file, const void* bytes, std::size_t count) {
    if (file.in_place) {
        try {
            file.in_place_content.append(static_cast<const char*>(bytes), count);
            return true;
        } catch (const std::bad_alloc&) {
            // Marked as failed: the old file must not get part of the new.
            if (file.error == 0) file.error = steps::out_of_memory_error();
            return false;
        }
    }
    if (std::fwrite(bytes, 1, count, file.stream) == count) return true;
    steps::note_error(file);
    return false;
}

bool finish_replacement(ReplacementFile* file, ReplacementError* error) {
    const std::unique_ptr<ReplacementFile> owned(file);
    if (file->in_place) {
        if (file->error == 0 && steps::rewrite_in_place(*file)) return true;
        steps::close_in_place(*file);
        return fail(*file, error);
    }
    if (close_written(*file) && steps::move_into_place(*file)) return true;
    steps::remove_temporary(*file);
    return fail(*file, error);
}

void abandon_replacement(ReplacementFile* file) {
    const std::unique_ptr<ReplacementFile> owned(file);
    if (file->in_place) {
        steps::close_in_place(*file);
        return;
    }
    (void)std::fclose(file->stream);
    file->stream = nullptr;
    steps::remove_temporary(*file);
}

}  // namespace pelorin::platform
