#include "sys/File.h"

namespace kw {

namespace {
FileApi* gFiles = nullptr;
} // namespace

LockedFile::~LockedFile() {
    if (handle_ != kInvalidFile)
        files_.Close(handle_);
}

bool LockedFile::Take(const std::string& path) {
    handle_ = files_.OpenExisting(path);
    return handle_ != kInvalidFile && files_.Lock(handle_);
}

FileApi& Files() {
    return gFiles ? *gFiles : SystemFiles();
}

void SetFiles(FileApi* files) {
    gFiles = files;
}

} // namespace kw
