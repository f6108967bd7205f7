// The main of a fuzz target outside libFuzzer: runs it once on every file
// given and on every file of the folders given. It fails when an input
// cannot be read or when there is none at all, so that a seed folder that
// went missing does not pass for one whose seeds all kept their promises;
// a broken promise aborts inside the target.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace
{

namespace fs = std::filesystem;

// The files an argument names, in name order so that every run replays them
// alike; nothing when it names neither a file nor a folder.
std::optional<std::vector<fs::path>> inputsOf(const fs::path& argument)
{
    std::error_code error;
    if (fs::is_regular_file(argument, error))
        return std::vector<fs::path> { argument };
    if (!fs::is_directory(argument, error))
        return std::nullopt;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(argument, error)) {
        if (entry.is_regular_file(error))
            files.push_back(entry.path());
    }
    if (error)
        return std::nullopt;
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<std::string> contentsOf(const fs::path& file)
{
    std::error_code error;
    const auto size = fs::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in)
        return std::nullopt;
    std::string bytes(size, '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
        return std::nullopt;
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const auto inputs = inputsOf(argv[i]);
        if (!inputs) {
            std::fprintf(stderr, "%s: neither a file nor a folder that can be read\n", argv[i]);
            return 1;
        }
        for (const fs::path& input : *inputs) {
            const auto bytes = contentsOf(input);
            if (!bytes) {
                std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
                return 1;
            }
            std::printf("%s (%zu bytes)\n", input.c_str(), bytes->size());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "usage: %s <seed file or folder>... (no input was found)\n", argv[0]);
        return 1;
    }
    std::printf("%zu inputs replayed\n", replayed);
    return 0;
}
