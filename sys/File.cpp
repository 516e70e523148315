#include "sys/File.h"

namespace kw {

namespace {
FileApi* gFiles = nullptr;
} // namespace

FileApi& Files() {
    return gFiles ? *gFiles : SystemFiles();
}

void SetFiles(FileApi* files) {
    gFiles = files;
}

} // namespace kw
