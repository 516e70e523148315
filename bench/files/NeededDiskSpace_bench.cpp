// NeededDiskSpace over the whole demo payload (1,232 blobs), as the check step calls it: the
// payload opened once, the log written on every call.
#include "log/Log.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

void BM_NeededDiskSpace(benchmark::State& state) {
    for (auto _ : state) {
        const std::int32_t kilobytes = kw::NeededDiskSpace();
        if (kilobytes != 134956)
            throw std::runtime_error("NeededDiskSpace gave " + std::to_string(kilobytes));
        benchmark::DoNotOptimize(kilobytes);
    }
}
BENCHMARK(BM_NeededDiskSpace)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    const auto folder = std::filesystem::temp_directory_path() / "kwastor-bench-log";
    std::filesystem::create_directories(folder);
    kw::gLog = std::make_unique<kw::Log>();
    kw::gLog->SetFilename((folder / "Kwastor.log").string());
    kw::UsePayloadFile(KW_DEMO_PAYLOAD);
    kw::NeededDiskSpace(); // opens the payload and the log once, as a real run has by then
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kw::gLog.reset();
    std::filesystem::remove_all(folder);
    return 0;
}
