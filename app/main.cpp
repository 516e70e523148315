#include "app/MainModule.h"

int main(int argc, char** argv) {
    return kw::Main(argc, argv);
}
