// Driver of the extraction benchmark.
//   extract_bench generate FOLDER [MEGABYTES [FILES [FOLDERS]]]
//       writes a release-like tree: files of many sizes in nested folders, part text-like
//       (compresses well) and part random (does not), about half compressible in all;
//       prints the bytes and files written.
//   extract_bench extract PACKAGE FOLDER [WORKERS]
//       unpacks PACKAGE over FOLDER as the install stage does (WORKERS forces how many
//       extract at once).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "PackageExtraction.h"

namespace {

namespace stdfs = std::filesystem;

// Share of each file that is random bytes; the rest is text that deflate shrinks to ~1/4.
constexpr double kRandomShare = 0.2;
constexpr std::size_t kChunk = 4096;

std::vector<std::string> MakeVocabulary(std::mt19937_64& random) {
    std::vector<std::string> words(4000);
    std::uniform_int_distribution<int> length(2, 12), letter('a', 'z');
    for (auto& word : words) {
        for (int i = length(random); i > 0; --i) word += static_cast<char>(letter(random));
    }
    return words;
}

void AppendText(std::string& out, std::size_t size, const std::vector<std::string>& words,
                std::mt19937_64& random) {
    // Skewed word choice, as in real text: a few words are very common.
    std::exponential_distribution<double> rank(0.004);
    const std::size_t end = out.size() + size;
    while (out.size() < end) {
        const auto i = static_cast<std::size_t>(rank(random)) % words.size();
        out += words[i];
        out += (random() % 12 == 0) ? '\n' : ' ';
    }
    out.resize(end);
}

void AppendRandom(std::string& out, std::size_t size, std::mt19937_64& random) {
    const std::size_t start = out.size();
    out.resize(start + size);
    for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(random());
}

std::string FileContent(std::size_t size, const std::vector<std::string>& words,
                        std::mt19937_64& random) {
    std::string content;
    content.reserve(size + 16);
    std::bernoulli_distribution randomChunk(kRandomShare);
    while (content.size() < size) {
        const std::size_t n = std::min(kChunk, size - content.size());
        if (randomChunk(random))
            AppendRandom(content, n, random);
        else
            AppendText(content, n, words, random);
    }
    return content;
}

int Generate(const stdfs::path& root, double megabytes, int files, int folders) {
    std::mt19937_64 random(20270301);
    const std::vector<std::string> words = MakeVocabulary(random);
    std::vector<stdfs::path> places{root};
    for (int i = 1; i < folders; ++i) {
        // Nested up to three levels, as an installation's plugins and themes are.
        places.push_back(places[random() % places.size()] / ("folder" + std::to_string(i)));
    }
    std::vector<double> weights(static_cast<std::size_t>(files));
    std::uniform_real_distribution<double> spread(0.0, 6.0);
    double total = 0;
    for (double& w : weights) total += (w = std::exp(spread(random)));
    std::uint64_t written = 0;
    for (int i = 0; i < files; ++i) {
        const auto size = static_cast<std::size_t>(weights[i] / total * megabytes * 1e6);
        const stdfs::path file =
            places[random() % places.size()] / ("file" + std::to_string(i) + ".dat");
        stdfs::create_directories(file.parent_path());
        const std::string content = FileContent(size, words, random);
        std::ofstream(file, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        written += content.size();
    }
    std::printf("%llu %d\n", static_cast<unsigned long long>(written), files);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc > 2) {
        return Generate(argv[2], argc > 3 ? std::atof(argv[3]) : 300,
                        argc > 4 ? std::atoi(argv[4]) : 2000, argc > 5 ? std::atoi(argv[5]) : 50);
    }
    if (mode == "extract" && (argc == 4 || argc == 5)) {
        const PackageExtractionResult result =
            ExtractUpdatePackage(stdfs::path(argv[2]).wstring(), stdfs::path(argv[3]).wstring(),
                                 argc == 5 ? std::atoi(argv[4]) : kAutomaticExtractionWorkers);
        return result.opened && result.failedEntries == 0 ? 0 : 1;
    }
    std::fprintf(
        stderr,
        "usage: extract_bench generate FOLDER [MB [FILES [FOLDERS]]] | extract PACKAGE FOLDER "
        "[WORKERS]\n");
    return 2;
}
