#include "app/results/inputs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "app/results/ranking.h"

namespace pelorin::results {
namespace {

using platform::FileKind;

// Longer lines of a list are no paths; they are skipped, not kept.
constexpr std::size_t LONGEST_LISTED_PATH = 1 << 16;
constexpr std::size_t LIST_BUFFER = 1 << 16;

bool is_results_file_name(std::string_view name) {
    return name.size() == RESULTS_FILE_NAME.size() &&
           std::equal(name.begin(), name.end(), RESULTS_FILE_NAME.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b;
           });
}

std::string_view without_trailing_separators(std::string_view path) {
    while (path.size() > 1 &&
           platform::FOLDER_SEPARATORS.find(path.back()) != std::string_view::npos)
        path.remove_suffix(1);
    return path;
}

std::string joined(std::string_view folder, std::string_view name) {
    std::string path(without_trailing_separators(folder));
    if (platform::FOLDER_SEPARATORS.find(path.back()) == std::string_view::npos) path += '/';
    return path += name;
}

// The name of the folder that holds `path`, from the current folder's path
// when `path` does not say it ("RESULTS.TXT", "./RESULTS.TXT").
std::string folder_name_of(std::string_view path) {
    namespace fs = std::filesystem;
    try {
        std::error_code error;
        const fs::path full = fs::absolute(fs::path(std::string(path)), error);
        if (!error) return full.lexically_normal().parent_path().filename().string();
    } catch (const std::system_error&) {
        // A name the system's own encoding cannot hold.
    }
    return {};
}

std::string not_regular(FileKind kind) {
    switch (kind) {
        case FileKind::fifo:
            return " not a regular file (a FIFO)";
        case FileKind::socket:
            return " not a regular file (a socket)";
        case FileKind::device:
            return " not a regular file (a device)";
        case FileKind::folder:
            return " Is a directory";
        default:
            return " not a regular file";
    }
}

std::string reason(int error) {
    if (error == ENOMEM) throw std::bad_alloc();
    return std::string(" ") + std::strerror(error);
}

}  // namespace

std::string person_name(std::string_view path) {
    if (path == "-") return "-";
    const std::size_t cut = path.find_last_of(platform::FOLDER_SEPARATORS);
    const std::string_view file = cut == std::string_view::npos ? path : path.substr(cut + 1);
    const std::size_t dot = file.rfind('.');
    std::string stem(dot == std::string_view::npos || dot == 0 ? file : file.substr(0, dot));
    if (!is_results_file_name(file)) return stem;
    const std::string_view folder = cut == std::string_view::npos
                                        ? std::string_view{}
                                        : without_trailing_separators(path.substr(0, cut));
    const std::size_t start = folder.find_last_of(platform::FOLDER_SEPARATORS);
    std::string name(start == std::string_view::npos ? folder : folder.substr(start + 1));
    if (name.empty() || name == "." || name == "..") name = folder_name_of(path);
    return name.empty() ? stem : name;
}

// The paths of one list, a line (or a NUL-ended entry) each, empty ones left
// out; one path read ahead, so that the last one is known as the last.
class Inputs::ListReader {
  public:
    ListReader(const std::string& name, bool null_separated)
        : name_(name), end_(null_separated ? '\0' : '\n'), buffer_(new char[LIST_BUFFER]) {
        file_ = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
        if (file_ == nullptr) error_ = errno;
    }
    ~ListReader() {
        if (file_ != nullptr && file_ != stdin) std::fclose(file_);
    }
    ListReader(const ListReader&) = delete;
    ListReader& operator=(const ListReader&) = delete;

    const std::string& name() const { return name_; }
    int error() const { return error_; }
    std::size_t skipped_line() const { return skipped_line_; }

    // The next path; false at the end of the list or when it cannot be read on.
    bool next(std::string& path) {
        if (!has_more()) return false;
        path.swap(ahead_);
        ahead_read_ = false;
        return true;
    }
    bool has_more() {
        if (!ahead_read_) {
            ahead_ok_ = read_path(ahead_);
            ahead_read_ = true;
        }
        return ahead_ok_;
    }

  private:
    bool read_path(std::string& path) {
        for (;;) {
            path.clear();
            bool too_long = false;
            const bool line = read_line(path, too_long);
            if (!line) return false;
            ++line_;
            if (end_ == '\n' && !path.empty() && path.back() == '\r') path.pop_back();
            // A list with a line that long is no list of paths.
            if (too_long) {
                skipped_line_ = line_;
                return false;
            }
            if (!path.empty()) return true;
        }
    }

    bool read_line(std::string& line, bool& too_long) {
        bool any = false;
        for (;;) {
            if (at_ == filled_ && !refill()) return any && error_ == 0;
            any = true;
            const char* start = buffer_.get() + at_;
            const auto* stop = static_cast<const char*>(std::memchr(start, end_, filled_ - at_));
            const std::size_t n =
                stop != nullptr ? static_cast<std::size_t>(stop - start) : filled_ - at_;
            if (line.size() + n > LONGEST_LISTED_PATH)
                too_long = true;
            else
                line.append(start, n);
            at_ += n + (stop != nullptr ? 1 : 0);
            if (stop != nullptr) return true;
        }
    }

    bool refill() {
        if (file_ == nullptr) return false;
        at_ = 0;
        filled_ = std::fread(buffer_.get(), 1, LIST_BUFFER, file_);
        if (filled_ == 0 && std::ferror(file_) != 0) error_ = errno;
        return filled_ > 0;
    }

    std::string name_;
    char end_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    std::size_t line_ = 0;
    std::size_t skipped_line_ = 0;
    std::string ahead_;
    bool ahead_read_ = false;
    bool ahead_ok_ = false;
};

struct Inputs::Folder {
    explicit Folder(const std::string& folder)
        : path(folder), entries(folder), identity(entries.identity()) {}
    std::string path;
    platform::FolderEntries entries;
    std::optional<platform::FileIdentity> identity;
};

Inputs::Inputs(InputNames names, Complain complain)
    : names_(std::move(names)),
      complain_(std::move(complain)),
      buffer_(new char[typetest::RESULTS_SIZE_LIMIT + 1]) {}

Inputs::~Inputs() = default;

void Inputs::problem(std::string_view path, const std::string& detail) {
    all_read_ = false;
    complain_(path, detail);
}

bool Inputs::next(Person& person) {
    std::string path;
    FileKind kind = FileKind::regular;
    bool known = false;
    while (next_path(path, kind, known))
        if (read(path, kind, known, person)) return true;
    return false;
}

bool Inputs::next_root(std::string& path) {
    for (;;) {
        if (list_) {
            if (list_->next(path)) {
                more_roots_ = list_->has_more() || next_list_ < names_.lists.size();
                return true;
            }
            if (list_->error() != 0) problem(list_->name(), reason(list_->error()));
            if (list_->skipped_line() != 0)
                problem(list_->name(), std::to_string(list_->skipped_line()) +
                                           ": longer than any path; the rest is not read");
            list_.reset();
        }
        if (next_operand_ < names_.operands.size()) {
            path = names_.operands[next_operand_++];
            more_roots_ = next_operand_ < names_.operands.size() || !names_.lists.empty();
            return true;
        }
        if (next_list_ == names_.lists.size()) return false;
        list_ = std::make_unique<ListReader>(names_.lists[next_list_++], names_.null_separated);
    }
}

void Inputs::enter_folder(const std::string& path) {
    auto folder = std::make_unique<Folder>(path);
    if (const int error = folder->entries.error()) {
        problem(path, reason(error));
        return;
    }
    // Without links followed, only a folder mounted inside itself comes back.
    for (const auto& above : folders_)
        if (folder->identity && above->identity == folder->identity) {
            problem(path, " the folder holds itself; it is searched once");
            return;
        }
    folders_.push_back(std::move(folder));
}

bool Inputs::next_path(std::string& path, FileKind& kind, bool& known) {
    std::string name;
    for (;;) {
        if (!folders_.empty()) {
            Folder& folder = *folders_.back();
            FileKind entry = FileKind::other;
            if (folder.entries.next(name, entry)) {
                if (entry == FileKind::folder) {
                    enter_folder(joined(folder.path, name));
                } else if (is_results_file_name(name)) {
                    path = joined(folder.path, name);
                    kind = entry;
                    known = entry == FileKind::regular;
                    ++found_in_root_;
                    return true;
                }
                continue;
            }
            if (const int error = folder.entries.error()) problem(folder.path, reason(error));
            folders_.pop_back();
            if (folders_.empty() && found_in_root_ == 0)
                problem(root_, " no RESULTS.TXT in this folder or the folders in it");
            continue;
        }
        if (!next_root(path)) return false;
        if (path == "-") {
            kind = FileKind::regular;
            known = true;
            return true;
        }
        const platform::PathKind looked = platform::kind_of(path);
        if (looked.error != 0) {
            problem(path, reason(looked.error));
        } else if (looked.kind == FileKind::folder) {
            root_ = path;
            found_in_root_ = 0;
            enter_folder(path);
        } else {
            kind = looked.kind;
            known = kind == FileKind::regular;
            return true;
        }
    }
}

bool Inputs::repeated(const platform::RegularFile& file, const std::string& path) {
    // A file with one name can be reached again only from a path named later.
    const bool again = more_roots_ || file.links() > 1 ? !seen_.insert(file.identity())
                                                       : seen_.contains(file.identity());
    if (again && repeats_++ == 0) first_repeat_ = path;
    return again;
}

bool Inputs::read(const std::string& path, FileKind kind, bool known, Person& person) {
    std::string_view bytes;
    if (path == "-") {
        if (!read_bytes(path, nullptr, bytes)) return false;
        return parse(path, bytes, person);
    }
    if (kind != FileKind::regular && kind != FileKind::link) {
        problem(path, not_regular(kind));
        return false;
    }
    platform::RegularFile file;
    FileKind opened = kind;
    if (const int error = file.open(path, opened, known)) {
        problem(path, reason(error));
        return false;
    }
    // A link found in a folder that leads to a folder is not followed.
    if (opened == FileKind::folder && kind == FileKind::link) return false;
    if (opened != FileKind::regular) {
        problem(path, not_regular(opened));
        return false;
    }
    if (repeated(file, path) || !read_bytes(path, &file, bytes)) return false;
    return parse(path, bytes, person);
}

// The first bytes of a file (nullptr: standard input): one more than a
// results file can hold at most, so that no file is too large to be refused.
bool Inputs::read_bytes(const std::string& path, platform::RegularFile* file,
                        std::string_view& bytes) {
    constexpr std::size_t room = typetest::RESULTS_SIZE_LIMIT + 1;
    std::size_t got = 0;
    while (got < room) {
        // The size the file had when opened saves the read that finds its end.
        if (file != nullptr && got > 0 && got == file->size()) break;
        long n = 0;
        if (file != nullptr) {
            n = file->read(buffer_.get() + got, room - got);
        } else {
            n = static_cast<long>(std::fread(buffer_.get() + got, 1, room - got, stdin));
            if (n == 0 && std::ferror(stdin) != 0) n = -1;
        }
        if (n < 0) {
            problem(path, reason(errno));
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes = std::string_view(buffer_.get(), got);
    return true;
}

bool Inputs::parse(const std::string& path, std::string_view bytes, Person& person) {
    auto read = typetest::read_results(bytes);
    if (const auto* wrong = std::get_if<typetest::ResultsProblem>(&read)) {
        problem(path, std::to_string(wrong->line) + ": " + wrong->what);
        return false;
    }
    person.record = std::move(std::get<typetest::ResultsRecord>(read));
    person.path = path;
    person.name = person_name(path);
    person.top = top_types(person.record.scores);
    person.expected = named_type(person.record.expected_type);
    person.expected_rank =
        person.expected == 0 ? 0 : rank_of(person.record.scores, person.expected);
    return true;
}

}  // namespace pelorin::results
