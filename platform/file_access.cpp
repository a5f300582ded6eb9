#include "platform/file_access.h"

namespace pelorin::platform {

int RegularFile::open(const std::string& path, FileKind& kind, bool known_regular) {
    close();
    if (!known_regular) {
        const PathKind looked = kind_of(path);
        kind = looked.kind;
        if (looked.error != 0) return looked.error;
        if (kind != FileKind::regular) return 0;
    }
    return open_looked_at(path, kind);
}

}  // namespace pelorin::platform
