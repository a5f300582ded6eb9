// The results files that the command line names, read one at a time: files,
// folders searched for RESULTS.TXT (links to folders are not followed), and
// lists of paths (--files-from). A file reached twice counts once; what is
// no regular file is refused without being opened; each file gets the name
// of its person. Nothing is kept per file beyond what tells a file read
// before, so a group of any size can be read.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/results/file_set.h"
#include "platform/file_access.h"
#include "typetest/results_file.h"

namespace pelorin::results {

// The name every results file is written under.
inline constexpr std::string_view RESULTS_FILE_NAME = "RESULTS.TXT";

struct Person {
    std::string name;  // see person_name()
    std::string path;  // as given, or as found in a folder; "-" for standard input
    typetest::ResultsRecord record;
    std::vector<std::size_t> top;  // the types sharing the top score, in TypeOrder
    std::size_t expected = 0;      // the type named as expected; 0 for none
    int expected_rank = 0;         // its rank, 1 to 16; 0 without one
};

// The folder's name for a file called RESULTS.TXT in any letter case (one
// folder per person: class/alice/RESULTS.TXT is alice; a bare RESULTS.TXT
// takes the current folder's name), else the file's name without its
// extension.
std::string person_name(std::string_view path);

struct InputNames {
    std::vector<std::string> operands;  // files and folders; "-" is standard input
    std::vector<std::string> lists;     // files of paths; "-" is standard input
    bool null_separated = false;        // list entries end in NUL, not a line end
};

class Inputs {
  public:
    // What `complain` gets for each file, folder or list that could not be
    // read: its path and what follows it, ": " and the reason, or ":", the
    // line and the reason.
    using Complain = std::function<void(std::string_view path, const std::string& detail)>;
    Inputs(InputNames names, Complain complain);
    ~Inputs();

    // The next file read as a results file; false when there are no more.
    bool next(Person& person);
    // Whether every file named could be read as a results file.
    bool all_read() const { return all_read_; }
    // Files reached again after they were read, and the first such path.
    std::size_t repeats() const { return repeats_; }
    const std::string& first_repeat() const { return first_repeat_; }

  private:
    class ListReader;
    struct Folder;

    bool next_path(std::string& path, platform::FileKind& kind, bool& known);
    bool next_root(std::string& path);
    void enter_folder(const std::string& path);
    bool read(const std::string& path, platform::FileKind kind, bool known, Person& person);
    bool read_bytes(const std::string& path, platform::RegularFile* file, std::string_view& bytes);
    bool parse(const std::string& path, std::string_view bytes, Person& person);
    void problem(std::string_view path, const std::string& detail);
    bool repeated(const platform::RegularFile& file, const std::string& path);

    InputNames names_;
    Complain complain_;
    std::size_t next_operand_ = 0;
    std::size_t next_list_ = 0;
    std::unique_ptr<ListReader> list_;
    std::vector<std::unique_ptr<Folder>> folders_;  // the search's way down
    std::string root_;                              // the folder named, while it is searched
    std::size_t found_in_root_ = 0;
    bool more_roots_ = false;  // whether a path named later may reach a file again
    FileSet seen_;
    std::unique_ptr<char[]> buffer_;  // one file's bytes, reused
    bool all_read_ = true;
    std::size_t repeats_ = 0;
    std::string first_repeat_;
};

}  // namespace pelorin::results
