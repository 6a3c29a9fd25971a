// A program the system tests start and watch: it runs until the file named by
// its first argument exists (at most a minute), then ends.
#include <chrono>
#include <filesystem>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::filesystem::path stop = argv[1];
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    std::error_code ignored;
    while (!std::filesystem::exists(stop, ignored) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
}
