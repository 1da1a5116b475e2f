#pragma once
// A file of a given size filled with a repeating pattern that does not compress to nothing,
// for the download benchmarks' servers to send.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace vesk::bench {

inline void MakeFile(const std::filesystem::path& path, std::uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + i / 251);
    for (std::uint64_t done = 0; done < bytes; done += block.size())
        out.write(block.data(), static_cast<std::streamsize>(
                                    std::min<std::uint64_t>(block.size(), bytes - done)));
}

}  // namespace vesk::bench
