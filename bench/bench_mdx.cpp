// Production index speed: building a sort tag over a million books, and the
// page reads of walking, seeking and keeping a tag up to date.
#include "db/engine/file.h"
#include "db/engine/mdx.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace shelvix::db;

namespace {

constexpr int kKeyLength = 80;

// Upper-cased author keys as Upper(Left(Author,80)) gives them.
std::vector<std::string> makeKeys(std::size_t count) {
    static const char* const surnames[] = {"TOLKIEN",
                                           "AUSTEN",
                                           "ASIMOV",
                                           "ZOLA",
                                           "MCDONALD",
                                           "LE GUIN",
                                           "O'BRIEN",
                                           "M\xDCLLER",
                                           "DOSTOEVSKY",
                                           "\xC9LAN",
                                           "GARC\xCD"
                                           "A",
                                           ""};
    std::mt19937 rng(1997);
    std::vector<std::string> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string k = std::string(surnames[rng() % 12]) + ", ";
        for (unsigned n = 1 + rng() % 12; n > 0; --n)
            k.push_back("0123456789ABCDEF"[rng() % 16]);
        k.resize(kKeyLength, ' ');
        keys.push_back(std::move(k));
    }
    return keys;
}

const std::vector<std::string>& millionKeys() {
    static const std::vector<std::string> keys = makeKeys(1000000);
    return keys;
}

// Counts the reads that reach the file, i.e. the page-cache misses.
class CountingFile final : public File {
public:
    CountingFile(std::unique_ptr<File> inner, std::uint64_t& reads)
        : inner_(std::move(inner)), reads_(reads) {}
    std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override {
        ++reads_;
        return inner_->readAt(o, b, n);
    }
    void writeAt(std::uint64_t o, const void* d, std::size_t n) override {
        inner_->writeAt(o, d, n);
    }
    std::uint64_t size() override { return inner_->size(); }
    void truncate(std::uint64_t s) override { inner_->truncate(s); }
    void sync() override { inner_->sync(); }
    void setPermissions(unsigned mode) override { inner_->setPermissions(mode); }
    bool tryLockFile(OpenLock k) override { return inner_->tryLockFile(k); }
    void lockRange(std::uint64_t o, std::uint64_t l) override { inner_->lockRange(o, l); }
    void unlockRange(std::uint64_t o, std::uint64_t l) override { inner_->unlockRange(o, l); }

private:
    std::unique_ptr<File> inner_;
    std::uint64_t& reads_;
};

class CountingFileSystem final : public FileSystem {
public:
    std::uint64_t reads = 0;
    std::unique_ptr<File> open(const std::filesystem::path& p, FileMode m) override {
        return std::make_unique<CountingFile>(native().open(p, m), reads);
    }
    bool exists(const std::filesystem::path& p) override { return native().exists(p); }
    void remove(const std::filesystem::path& p) override { native().remove(p); }
    void rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        native().rename(a, b);
    }
    void syncDirectory(const std::filesystem::path& d) override { native().syncDirectory(d); }
};

std::filesystem::path benchFile(const char* name) {
    return std::filesystem::temp_directory_path() /
           ("shelvix-bench-" + std::to_string(getpid()) + "-" + name);
}

TagInfo authorTag() {
    TagInfo info;
    info.name = "NewIndex";
    info.expression = "Upper(Left(Author,80))";
    info.type = KeyType::Character;
    info.keyLength = kKeyLength;
    return info;
}

MdxFile::KeySource sourceOf(const std::vector<std::string>& keys) {
    auto at = std::make_shared<std::size_t>(0);
    return [&keys, at](std::uint8_t* key, std::uint32_t& recno) {
        if (*at == keys.size())
            return false;
        std::memcpy(key, keys[*at].data(), kKeyLength);
        recno = static_cast<std::uint32_t>(++*at);
        return true;
    };
}

// A million-key index shared by the walking benchmarks.
const std::filesystem::path& millionIndex() {
    static const std::filesystem::path path = [] {
        auto p = benchFile("walk.MDX");
        auto mdx = MdxFile::create(FileSystem::native(), p, "BOOKS");
        mdx->buildTag(authorTag(), sourceOf(millionKeys()));
        return p;
    }();
    return path;
}

void BM_BuildTag(benchmark::State& state) {
    const auto& all = millionKeys();
    std::vector<std::string> keys(all.begin(),
                                  all.begin() + static_cast<std::ptrdiff_t>(state.range(0)));
    auto path = benchFile("build.MDX");
    for (auto _ : state) {
        auto mdx = MdxFile::create(FileSystem::native(), path, "BOOKS");
        mdx->buildTag(authorTag(), sourceOf(keys));
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}
BENCHMARK(BM_BuildTag)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A fresh open, then the first 40 entries: what showing the first screen of
// the grid costs.
void BM_OpenAndWalk40(benchmark::State& state) {
    const auto& path = millionIndex();
    CountingFileSystem fs;
    for (auto _ : state) {
        auto mdx = MdxFile::open(fs, path, false);
        auto c = mdx->cursor(0);
        int n = 0;
        for (bool ok = c->first(); ok && n < 40; ok = c->next())
            ++n;
        benchmark::DoNotOptimize(n);
    }
    state.counters["reads"] =
        benchmark::Counter(static_cast<double>(fs.reads), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OpenAndWalk40);

// Reading the whole tag in order, as a report over every book does.
void BM_WalkAll(benchmark::State& state) {
    auto mdx = MdxFile::open(FileSystem::native(), millionIndex(), false);
    std::int64_t entries = 0;
    for (auto _ : state) {
        auto c = mdx->cursor(0);
        for (bool ok = c->first(); ok; ok = c->next())
            ++entries;
    }
    state.SetItemsProcessed(entries);
}
BENCHMARK(BM_WalkAll)->Unit(benchmark::kMillisecond);

void BM_Seek(benchmark::State& state) {
    const auto& path = millionIndex();
    CountingFileSystem fs;
    auto mdx = MdxFile::open(fs, path, false);
    auto c = mdx->cursor(0);
    std::mt19937 rng(7);
    const auto& keys = millionKeys();
    fs.reads = 0;
    for (auto _ : state) {
        const std::string& k = keys[rng() % keys.size()];
        benchmark::DoNotOptimize(c->seek(reinterpret_cast<const std::uint8_t*>(k.data()), 20));
    }
    state.counters["reads"] =
        benchmark::Counter(static_cast<double>(fs.reads), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Seek);

// Posting one edited record: its old key out, the new one in, flushed.
void BM_UpdateOneKey(benchmark::State& state) {
    auto path = benchFile("update.MDX");
    std::filesystem::copy_file(millionIndex(), path,
                               std::filesystem::copy_options::overwrite_existing);
    CountingFileSystem fs;
    auto mdx = MdxFile::open(fs, path, true);
    const auto& keys = millionKeys();
    std::mt19937 rng(11);
    fs.reads = 0;
    for (auto _ : state) {
        std::uint32_t recno = 1 + rng() % static_cast<std::uint32_t>(keys.size());
        const std::string& from = keys[recno - 1];
        const std::string& to = keys[rng() % keys.size()];
        mdx->beginUpdate();
        mdx->removeKey(0, reinterpret_cast<const std::uint8_t*>(from.data()), recno);
        mdx->insertKey(0, reinterpret_cast<const std::uint8_t*>(to.data()), recno);
        mdx->endUpdate();
        mdx->beginUpdate();
        mdx->removeKey(0, reinterpret_cast<const std::uint8_t*>(to.data()), recno);
        mdx->insertKey(0, reinterpret_cast<const std::uint8_t*>(from.data()), recno);
        mdx->endUpdate();
    }
    state.SetItemsProcessed(state.iterations() * 2);
    state.counters["reads"] =
        benchmark::Counter(static_cast<double>(fs.reads), benchmark::Counter::kAvgIterations);
    mdx.reset();
    std::filesystem::remove(path);
}
BENCHMARK(BM_UpdateOneKey);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove(benchFile("walk.MDX"), ec);
    return 0;
}
