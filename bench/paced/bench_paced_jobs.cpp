// Wall time of whole kelvo-cli jobs on a simulated board paced to real time
// (pace 1), with the microsecond calibration and with
// -wholesecondcalibration, side by side. The runs take real time, about a
// minute and a half in all, so this is run by hand rather than as a test.
#include "app/cli/Cli.h"
#include "ops/FirmwareImageHex.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Job {
    const char* name;
    const char* family;
    std::size_t firmwareBytes; // 0: a download
    double targetSeconds;
};

// Runs kelvo-cli in this process; says why when it fails.
bool Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    if (kelvo::RunCli(args, out, err) == 0)
        return true;
    std::string line;
    for (const std::string& a : args)
        line += " " + a;
    std::fprintf(stderr, "kelvo-cli%s failed:\n%s", line.c_str(), err.str().c_str());
    return false;
}

// Seconds of wall time one job takes on a fresh paced board, or -1.
double TimeJob(const fs::path& dir, const Job& job, bool wholeSeconds) {
    const std::string board = (dir / "board.json").string();
    if (!Cli({"sim-create", board, "--family", job.family, "--board", "1", "--firmware", "3.10",
              "--pace", "1", "--force"}))
        return -1;
    std::vector<std::string> args;
    if (wholeSeconds)
        args.push_back("-wholesecondcalibration");
    args.insert(args.end(), {"--sim", board});
    if (job.firmwareBytes == 0) {
        args.push_back("download");
    } else {
        std::mt19937 rng(1);
        std::vector<std::uint8_t> code(job.firmwareBytes);
        for (std::uint8_t& b : code)
            b = static_cast<std::uint8_t>(rng());
        const fs::path firmware = dir / "firmware.efw";
        std::ofstream(firmware) << kelvo::FormatFirmwareImage(1, kelvo::CutIntoRecords(code));
        args.insert(args.end(), {"update-firmware", firmware.string()});
    }
    const auto start = std::chrono::steady_clock::now();
    const bool done = Cli(args);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return done ? took.count() : -1;
}

} // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / "kelvo_bench_paced_jobs";
    fs::create_directories(dir);
    const Job jobs[] = {
        {"download, AVR", "avr", 0, 0.6},
        {"download, 8051", "8051", 0, 0.6},
        {"update-firmware, AVR, 8 KB image", "avr", 8192, 13.5},
        {"update-firmware, 8051, 4 KB image", "8051", 4096, 19.0},
    };
    std::printf("Wall time on a simulated board paced to real time (pace 1):\n\n"
                "| job | microsecond calibration | -wholesecondcalibration | target |\n"
                "|---|---|---|---|\n");
    bool allMet = true;
    for (const Job& job : jobs) {
        const double fine = TimeJob(dir, job, false);
        const double whole = TimeJob(dir, job, true);
        const bool met = fine >= 0 && fine < job.targetSeconds;
        allMet = allMet && met && whole >= 0;
        std::printf("| %s | %.2f s | %.2f s | under %.1f s%s |\n", job.name, fine, whole,
                    job.targetSeconds, met ? "" : ", NOT MET");
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return allMet ? 0 : 1;
}
