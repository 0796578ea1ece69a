// Runs a fuzz target's LLVMFuzzerTestOneInput once on every file named on
// the command line, and on every regular file below every folder named
// there (in sorted order), so that the committed corpus is replayed as an
// ordinary test where libFuzzer is not available. A failed property aborts
// the process, as it does under libFuzzer. Exit status 1 when no input was
// found at all, so that a missing corpus cannot pass unnoticed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace
{
    std::vector<std::filesystem::path> InputFiles(int argc, char** argv)
    {
        std::vector<std::filesystem::path> files;
        for (int i = 1; i < argc; ++i)
        {
            const std::filesystem::path path = argv[i];
            if (std::filesystem::is_directory(path))
            {
                std::vector<std::filesystem::path> found;
                for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
                {
                    if (entry.is_regular_file())
                        found.push_back(entry.path());
                }
                std::sort(found.begin(), found.end());
                files.insert(files.end(), found.begin(), found.end());
            }
            else if (std::filesystem::is_regular_file(path))
            {
                files.push_back(path);
            }
            else
            {
                std::fprintf(stderr, "replay: no such file or folder: %s\n", path.string().c_str());
            }
        }
        return files;
    }
}

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);

    const std::vector<std::filesystem::path> files = InputFiles(argc, argv);
    for (const std::filesystem::path& file : files)
    {
        std::ifstream stream(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        if (!stream.good() && !stream.eof())
        {
            std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
            return 1;
        }
        // A copy of exactly the file's size, so that a read past its end is
        // caught by the address sanitizer.
        std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
        static const std::uint8_t kNoBytes = 0;
        LLVMFuzzerTestOneInput(input.empty() ? &kNoBytes : input.data(), input.size());
    }
    std::printf("replay: %zu inputs\n", files.size());
    return files.empty() ? 1 : 0;
}
