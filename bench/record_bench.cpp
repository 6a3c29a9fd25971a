// Record benchmark: what writing the record of a run (one journal line per
// file, appended to Deinst.ins, fsync batched) costs a copy of many files.
//
//   record_bench [work folder] [--files=N] [--rounds=N]
//
// Copies a tree of N files (default 10,000) of 1-16 KiB into the emulated
// Windows with the run's copier, once through the machine's effects alone and
// once through the recording effects with a journal open, in the order
// A B B A ... so that neither gains from its place; the fastest run of each
// counts. Then a whole unattended installation of the same tree (which
// records) is timed, and the cost of recording is printed as a share of the
// copy alone and of the installation.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/Messages.h"
#include "common/Startup.h"
#include "engine/ScriptInstall.h"
#include "files/FileHandler.h"
#include "files/InstallRecord.h"
#include "files/RecordingEffects.h"
#include "platform/Emulation.h"
#include "platform/System.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string Win(const fs::path& p) {
    return plat::toWindowsPath(p.string());
}

template <typename Work> double Seconds(Work&& work) {
    sync();
    const auto start = Clock::now();
    work();
    sync(); // what the run wrote is on the disk
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double CopyTree(const fs::path& source, const fs::path& dest, bool record) {
    fs::remove_all(dest);
    fs::create_directories(dest);
    setup::TFileHandler copier;
    setup::TIni deinst(Win(dest / "Deinst.ins"), setup::IniKind::Record);
    setup::RecordingEffects recording(setup::DirectEffects());
    std::unique_ptr<setup::record::RecordJournal> journal;
    if (record) {
        journal = std::make_unique<setup::record::RecordJournal>(deinst);
        recording.SetJournal(journal.get());
        copier.SetEffects(recording);
    }
    return Seconds([&] {
        int count = 0;
        if (copier.CopyTree(Win(source), Win(dest / "tree"), "*.*", 0, false, count,
                            setup::CopyMode::Copy) != setup::CopyResult::Done)
            std::fprintf(stderr, "CopyTree failed\n");
        if (journal) journal->Sync();
    });
}

} // namespace

int main(int argc, char** argv) {
    fs::path work = "/var/tmp/setup-record-bench";
    int files = 10000;
    int rounds = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--files=", 0) == 0)
            files = std::stoi(a.substr(8));
        else if (a.rfind("--rounds=", 0) == 0)
            rounds = std::max(1, std::stoi(a.substr(9)));
        else
            work = a;
    }
    fs::remove_all(work);
    const fs::path source = work / "project" / "tree";
    setenv("SETUP_ROOT", (work / "root").c_str(), 1);
    plat::resetEmulation();
    setup::StartupCommonServices();
    setup::SetUnattended(true);

    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int> sizes(1024, 16 * 1024);
    std::string bytes(16 * 1024, 'x');
    for (int i = 0; i < files; ++i) {
        const fs::path folder = source / ("d" + std::to_string(i / 100));
        if (i % 100 == 0) fs::create_directories(folder);
        std::ofstream(folder / ("File" + std::to_string(i) + ".dat"), std::ios::binary)
            .write(bytes.data(), sizes(rng));
    }
    std::ofstream(work / "project" / "install.ins", std::ios::binary)
        << "[Project]\r\nName=RecordBench\r\nPart1=Daten\r\n"
           "[Daten]\r\nFile1=tree\\*.* /s\r\nIcon=-\r\n";

    const fs::path drive = work / "root" / "drive_c";
    double direct = 1e9;
    double recorded = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const bool recordFirst = round % 2 == 1;
        for (const bool record : {recordFirst, !recordFirst}) {
            const double t = CopyTree(source, drive / (record ? "rec" : "direct"), record);
            (record ? recorded : direct) = std::min(record ? recorded : direct, t);
        }
    }

    fs::remove_all(drive / "rec");
    fs::remove_all(drive / "direct");
    double installation = 0;
    {
        setup::TFileHandler copier;
        setup::TScriptInstall engine(nullptr, copier);
        engine.LoadScript(Win(work / "project" / "install.ins"));
        engine.SetTargetDir("C:\\RecordBench");
        installation = Seconds([&] {
            if (!engine.RunInstallation(nullptr)) std::fprintf(stderr, "installation failed\n");
        });
    }
    std::uintmax_t journal = fs::file_size(drive / "RecordBench" / "Deinst.ins");

    const double cost = recorded - direct;
    std::printf("%d files of 1-16 KiB, best of %d rounds\n", files, rounds);
    std::printf("copy through the machine's effects  %8.3f s\n", direct);
    std::printf("copy through the recording effects  %8.3f s\n", recorded);
    std::printf("whole installation (recording)      %8.3f s, Deinst.ins %ju bytes\n", installation,
                journal);
    std::printf("recording costs %.3f s: %.1f %% of the copy, %.1f %% of the installation\n", cost,
                100 * cost / direct, 100 * cost / installation);
    fs::remove_all(work);
    return 0;
}
