#include "app/MainModule.h"
#include "sys/StandardStreams.h"

int main(int argc, char** argv) {
    kw::OpenMissingStandardStreams();
    return kw::Main(argc, argv);
}
