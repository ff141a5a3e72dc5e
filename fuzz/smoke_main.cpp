// Runs a fuzz target without libFuzzer: every file of the corpus folders
// given, then a fixed number of inputs mutated from them by a seeded random
// generator, so a run is repeatable. The suite's smoke pass and the replay of
// a saved finding both go through here.
//
//   fuzz_X_smoke [--runs N] [--seed S] [--max-len BYTES] DIR_OR_FILE...

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Input = std::vector<std::uint8_t>;

Input readInput(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const Input* current = nullptr;

// A finding aborts: the input that caused it is kept for replaying.
extern "C" void keepInput(int signal) {
    if (current) {
        const int fd = ::open("fuzz-finding.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            [[maybe_unused]] const auto n = ::write(fd, current->data(), current->size());
            ::close(fd);
        }
        static const char note[] = "the input is kept in fuzz-finding.bin\n";
        [[maybe_unused]] const auto m = ::write(2, note, sizeof note - 1);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void run(const Input& input) {
    current = &input;
    LLVMFuzzerTestOneInput(input.data(), input.size());
    current = nullptr;
}

// A few of libFuzzer's own moves: bit flips, bytes set to edge values,
// insertions, erasures, copies within the input and splices from another.
Input mutate(const std::vector<Input>& corpus, std::mt19937_64& rng, std::size_t maxLen) {
    auto pick = [&](std::size_t n) { return n == 0 ? std::size_t(0) : std::size_t(rng() % n); };
    Input in = corpus[pick(corpus.size())];
    const int moves = 1 + int(pick(8));
    static const std::uint8_t edges[] = {0, 1, 0x20, 0x7f, 0x80, 0xff, '\r', '\n', '"', ',', 0x1a};
    for (int m = 0; m < moves; ++m) {
        const std::size_t at = pick(in.size() + 1);
        switch (pick(7)) {
        case 0:
            if (!in.empty())
                in[pick(in.size())] ^= std::uint8_t(1u << pick(8));
            break;
        case 1:
            if (!in.empty())
                in[pick(in.size())] = edges[pick(std::size(edges))];
            break;
        case 2:
            if (!in.empty())
                in[pick(in.size())] = std::uint8_t(rng());
            break;
        case 3: {
            const std::size_t n = 1 + pick(16);
            Input bytes(n);
            for (auto& b : bytes)
                b = std::uint8_t(rng());
            in.insert(in.begin() + std::ptrdiff_t(at), bytes.begin(), bytes.end());
            break;
        }
        case 4:
            if (at < in.size())
                in.erase(in.begin() + std::ptrdiff_t(at),
                         in.begin() + std::ptrdiff_t(std::min(in.size(), at + 1 + pick(64))));
            break;
        case 5:
            if (!in.empty()) {
                const std::size_t from = pick(in.size());
                const std::size_t n = std::min(in.size() - from, 1 + pick(32));
                const Input part(in.begin() + std::ptrdiff_t(from),
                                 in.begin() + std::ptrdiff_t(from + n));
                in.insert(in.begin() + std::ptrdiff_t(at), part.begin(), part.end());
            }
            break;
        default: {
            const Input& other = corpus[pick(corpus.size())];
            in.resize(at);
            in.insert(in.end(), other.begin() + std::ptrdiff_t(pick(other.size() + 1)),
                      other.end());
            break;
        }
        }
    }
    if (in.size() > maxLen)
        in.resize(maxLen);
    return in;
}

} // namespace

int main(int argc, char** argv) {
    long runs = 0;
    unsigned long long seed = 1;
    std::size_t maxLen = 64 * 1024;
    std::vector<Input> corpus;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atol(argv[++i]);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--max-len" && i + 1 < argc) {
            maxLen = std::size_t(std::atol(argv[++i]));
        } else if (std::filesystem::is_directory(arg)) {
            std::vector<std::filesystem::path> files;
            for (const auto& e : std::filesystem::recursive_directory_iterator(arg))
                if (e.is_regular_file())
                    files.push_back(e.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files)
                corpus.push_back(readInput(f));
        } else if (std::filesystem::is_regular_file(arg)) {
            corpus.push_back(readInput(arg));
        } else {
            std::fprintf(stderr, "%s: no such file or folder: %s\n", argv[0], arg.c_str());
            return 2;
        }
    }
    if (corpus.empty())
        corpus.emplace_back();
    std::signal(SIGABRT, keepInput);
    std::signal(SIGSEGV, keepInput);
    for (const Input& input : corpus)
        run(input);
    std::mt19937_64 rng(seed);
    for (long r = 0; r < runs; ++r)
        run(mutate(corpus, rng, maxLen));
    std::printf("%zu corpus inputs and %ld mutated inputs ran\n", corpus.size(), runs);
    return 0;
}
