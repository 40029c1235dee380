// The package: the digest against OpenSSL's MD5, and serving a whole book by name against
// reading the same bytes straight from the file.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <openssl/evp.h>
#include <random>
#include <vector>

#include "lib/MyLib/ExeExt.h"
#include "package/MD5Op.h"
#include "package/PackageLookup.h"
#include "tools/pack/package_writer.h"

namespace {

constexpr size_t kDigestBytes = 13'728'884; // the shipped book's content region

const std::vector<uint8_t>& DigestInput() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> b(kDigestBytes);
        std::mt19937 random(1);
        for (auto& x : b)
            x = static_cast<uint8_t>(random());
        return b;
    }();
    return bytes;
}

void BM_MD5Op(benchmark::State& state) {
    const auto& input = DigestInput();
    for (auto _ : state)
        benchmark::DoNotOptimize(MD5Op(input.data(), input.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_MD5Op)->Unit(benchmark::kMillisecond);

void BM_OpenSslMd5(benchmark::State& state) {
    const auto& input = DigestInput();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(input.data(), input.size(), digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_OpenSslMd5)->Unit(benchmark::kMillisecond);

// A book shaped like the shipped one: a movie of 266,286 bytes, the 233-byte configuration, a
// 6,860-byte data file and 64 page images, 13.7 MB of content in all, with a digest.
struct TBook {
    std::vector<TPackEntry> entries;
    std::string path, copyPath;
    int64_t contentBytes = 0;
};

const TBook& Book() {
    static const TBook book = [] {
        TBook b;
        std::mt19937 random(2);
        auto bytes = [&](size_t n) {
            std::string s(n, '\0');
            for (char& c : s)
                c = static_cast<char>(random());
            return s;
        };
        b.entries.push_back({"book.swf", bytes(266'286)});
        b.entries.push_back({"ExeConfig.xml", bytes(233)});
        b.entries.push_back({"files/book.xml", bytes(6'860)});
        for (int i = 1; i <= 32; ++i)
            b.entries.push_back({"files/large/" + std::to_string(i) + ".jpg", bytes(310'000)});
        for (int i = 1; i <= 32; ++i)
            b.entries.push_back({"files/page/" + std::to_string(i) + ".jpg", bytes(110'000)});
        const auto folder = std::filesystem::temp_directory_path();
        b.path = (folder / "leafturn-bench-book.exe").string();
        b.copyPath = (folder / "leafturn-bench-book-copy.exe").string();
        for (const std::string& path : {b.path, b.copyPath}) {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << std::string(731'648, 'I'); // the executable image
            WritePackage(out, b.entries, true);
        }
        for (const TPackEntry& e : b.entries)
            b.contentBytes += static_cast<int64_t>(std::get<std::string>(e.content).size());
        return b;
    }();
    return book;
}

// Every stored file of the book by name, as the movie asks for them.
void BM_ServeBookByName(benchmark::State& state) {
    const TBook& book = Book();
    GetPackageStream("book.swf", book.path); // the one verification of this run
    for (auto _ : state)
        for (const TPackEntry& entry : book.entries)
            benchmark::DoNotOptimize(GetPackageStream(entry.name, book.path));
    state.SetBytesProcessed(state.iterations() * book.contentBytes);
}
BENCHMARK(BM_ServeBookByName)->Unit(benchmark::kMillisecond);

// The anchor: the same bytes, each entry opened, sought and read into its own buffer.
void BM_ReadSameBytesFromFile(benchmark::State& state) {
    const TBook& book = Book();
    const TExeExtReader reader(book.path);
    for (auto _ : state) {
        int64_t offset = reader.StartPos() + reader.Sizes()[0];
        for (size_t i = 1; i < reader.Sizes().size(); ++i) {
            const int32_t size = reader.Sizes()[i];
            std::vector<char> buffer(static_cast<size_t>(size));
            FILE* file = std::fopen(book.path.c_str(), "rb");
            std::fseek(file, static_cast<long>(offset), SEEK_SET);
            benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), file));
            std::fclose(file);
            offset += size;
        }
    }
    state.SetBytesProcessed(state.iterations() * book.contentBytes);
}
BENCHMARK(BM_ReadSameBytesFromFile)->Unit(benchmark::kMillisecond);

// One lookup in a book not seen before: the digest is verified.
void BM_FirstLookupOfABook(benchmark::State& state) {
    const TBook& book = Book();
    bool copy = false;
    for (auto _ : state) {
        copy = !copy;
        benchmark::DoNotOptimize(
            GetPackageStream("ExeConfig.xml", copy ? book.copyPath : book.path));
    }
}
BENCHMARK(BM_FirstLookupOfABook)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
