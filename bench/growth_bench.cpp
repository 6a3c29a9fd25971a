// Growth benchmark: how the time of four inputs that grow without a natural
// bound scales from 10,000 to 200,000 items. Linear work doubles its time
// when the input doubles; the column "per item" stays flat.
//
//   growth_bench [work folder] [--sizes=10000,25000,50000,100000,200000]
//                [--only=files|keys|pathes|values|macro]
//
// files:  a part of n File# keys, each naming a small file: the script is
//         loaded and the part copied (CopyFilesOf) into an empty target.
// keys:   the same part with FileNoCopy# on every entry: the script's
//         lookups alone, without the copying.
// pathes: a Deinst.ins of n [Pathes] records is opened as a run opens it,
//         the next free P# is found, n more created folders are recorded
//         and the file is written back.
// values: n values written into one key of the registry, then read back.
// macro:  a macro file of n lines, each naming a registry variable whose
//         value names itself twice.
//
// Each size runs in a fresh emulated Windows below the work folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "common/Startup.h"
#include "script/Ini.h"
#include "engine/ScriptInstall.h"
#include "files/FileHandler.h"
#include "platform/Emulation.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

fs::path work = "/var/tmp/setup-growth-bench";

void WriteNative(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh emulated Windows; returns the native folder of C:\Bench.
fs::path FreshWindows() {
    fs::remove_all(work / "root");
    fs::create_directories(work / "root");
    setenv("SETUP_ROOT", (work / "root").c_str(), 1);
    plat::resetEmulation();
    setup::StartupCommonServices();
    setup::SetUnattended(true);
    setup::AbortRequested = false;
    const fs::path bench = work / "root" / "drive_c" / "Bench";
    fs::create_directories(bench);
    return bench;
}

std::string Key(const char* name, int n) {
    return name + std::to_string(n);
}

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double FileKeys(int n) {
    const fs::path bench = FreshWindows();
    std::string script = "[Project]\r\nName=Growth\r\nPart1=Teil\r\n[Teil]\r\n";
    for (int i = 1; i <= n; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        WriteNative(bench / "medium" / name, name);
        script += Key("File", i) + "=" + name + "\r\n";
    }
    WriteNative(bench / "medium" / "install.ins", script);
    setup::TFileHandler copier;
    setup::TScriptInstall engine(nullptr, copier);
    return Seconds([&] {
        engine.LoadScript("C:\\Bench\\medium\\install.ins");
        engine.BuildPartList();
        engine.SetTargetDir("C:\\Bench\\target\\");
        engine.ProjectFileList = std::make_unique<setup::TProjectFileList>();
        if (!engine.CopyFilesOf("Teil", "", true) || copier.FilesCopied != n)
            std::fprintf(stderr, "files: %d of %d copied\n", copier.FilesCopied, n);
    });
}

double KeyLookups(int n) {
    const fs::path bench = FreshWindows();
    std::string script = "[Project]\r\nName=Growth\r\nPart1=Teil\r\n[Teil]\r\n";
    for (int i = 1; i <= n; ++i)
        script += Key("File", i) + "=f" + std::to_string(i) + ".txt\r\n" + Key("FileNoCopy", i) +
                  "=1\r\n";
    WriteNative(bench / "medium" / "install.ins", script);
    setup::TFileHandler copier;
    setup::TScriptInstall engine(nullptr, copier);
    return Seconds([&] {
        engine.LoadScript("C:\\Bench\\medium\\install.ins");
        engine.BuildPartList();
        engine.SetTargetDir("C:\\Bench\\target\\");
        engine.CopyFilesOf("Teil", "", true);
    });
}

double PathRecords(int n) {
    const fs::path bench = FreshWindows();
    std::string records = "[Pathes]\r\n";
    for (int i = 1; i <= n; ++i)
        records += Key("P", i) + "=C:\\Bench\\target\\old" + std::to_string(i) + "\\\r\n";
    WriteNative(bench / "target" / "Deinst.ins", records);
    setup::TFileHandler copier;
    setup::TScriptInstall engine(nullptr, copier);
    return Seconds([&] {
        // As a run opens it: the next free P#, then the folders it creates.
        engine.UninstallScript =
            std::make_unique<setup::TIni>("C:\\Bench\\target\\Deinst.ins", setup::IniKind::Record);
        engine.PathCounter = 1;
        while (
            !engine.UninstallScript->ReadString("Pathes", Key("P", engine.PathCounter), "").empty())
            ++engine.PathCounter;
        for (int i = 1; i <= n; ++i)
            engine.RecordCreatedFolder("C:\\Bench\\target\\new" + std::to_string(i) + "\\");
        engine.UninstallScript->SaveFile();
        if (engine.PathCounter != 2 * n + 1)
            std::fprintf(stderr, "pathes: next P%d, not P%d\n", engine.PathCounter, 2 * n + 1);
        engine.UninstallScript.reset();
    });
}

double RegistryValues(int n) {
    FreshWindows();
    return Seconds([&] {
        plat::RegKey key;
        if (key.open(plat::RegRoot::CurrentUser, "Software\\Growth", plat::RegAccess::All, true) !=
            0) {
            std::fprintf(stderr, "values: key not opened\n");
            return;
        }
        for (int i = 1; i <= n; ++i)
            key.setString(Key("V", i), "Wert " + std::to_string(i));
        key.close();
        plat::RegKey again;
        std::string last;
        if (again.open(plat::RegRoot::CurrentUser, "Software\\Growth", plat::RegAccess::Read) !=
                0 ||
            again.queryString(Key("V", n), last) != 0 || last != "Wert " + std::to_string(n))
            std::fprintf(stderr, "values: V%d not read back\n", n);
    });
}

double MacroLines(int n) {
    const fs::path bench = FreshWindows();
    plat::RegKey key;
    key.open(plat::RegRoot::CurrentUser, "Software\\TIV_NN\\Selbst", plat::RegAccess::All, true);
    key.setString("", "%\xA7Selbst% %\xA7Selbst%");
    key.close();
    std::string text;
    for (int i = 1; i <= n; ++i)
        text += "Zeile " + std::to_string(i) + " %\xA7Selbst% %DIR%\r\n";
    WriteNative(bench / "medium" / "conf.ini", text);
    setup::TFileHandler copier;
    setup::TScriptInstall engine(nullptr, copier);
    fs::create_directories(bench / "target");
    engine.SetTargetDir("C:\\Bench\\target\\");
    return Seconds([&] {
        engine.CopyMacroFile("C:\\Bench\\medium\\conf.ini", "C:\\Bench\\target\\conf.ini", true);
    });
}

std::vector<int> ParseSizes(const std::string& text) {
    std::vector<int> sizes;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        sizes.push_back(std::stoi(text.substr(start, end - start)));
        start = end + 1;
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {10000, 25000, 50000, 100000, 200000};
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--sizes=", 0) == 0)
            sizes = ParseSizes(a.substr(8));
        else if (a.rfind("--only=", 0) == 0)
            only = a.substr(7);
        else
            work = a;
    }
    fs::create_directories(work);
    struct Input {
        const char* name;
        double (*run)(int);
    } inputs[] = {{"files", FileKeys},
                  {"keys", KeyLookups},
                  {"pathes", PathRecords},
                  {"values", RegistryValues},
                  {"macro", MacroLines}};
    std::printf("%-8s %10s %12s %14s\n", "input", "n", "seconds", "per item (us)");
    for (const Input& input : inputs) {
        if (!only.empty() && only != input.name) continue;
        for (const int n : sizes) {
            const double seconds = input.run(n);
            std::printf("%-8s %10d %12.3f %14.2f\n", input.name, n, seconds, seconds * 1e6 / n);
            std::fflush(stdout);
        }
    }
    fs::remove_all(work / "root");
    return 0;
}
