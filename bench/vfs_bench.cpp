// Archive reading against its two floors: inflating the same bytes with bare zlib, and reading
// the file plainly. Ratios are archive time / floor time, measured in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "vfs/archive.h"
#include "vfs/file_stream.h"
#include "vfs/zlib_codec.h"

namespace kova {
namespace {

namespace fs = std::filesystem;

// Text-like content that deflates to about a third.
Bytes Content(size_t n, uint32_t seed) {
  static const char* words[] = {"kova ", "title ", "page ", "scene ", "text ", "music ", "\n"};
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(n + 8);
  while (b.size() < n) {
    const char* w = words[rng() % 7];
    b.insert(b.end(), w, w + std::strlen(w));
    if (rng() % 5 == 0) b.push_back(static_cast<uint8_t>('0' + rng() % 10));
  }
  b.resize(n);
  return b;
}

struct Fixture {
  fs::path dir, file;
  std::vector<std::string> names;
  std::vector<Bytes> compressed;  // as stored in the archive
  int64_t total = 0;              // decompressed bytes
};

Fixture Make(const char* tag, int count, size_t size) {
  Fixture f;
  std::string tmpl = (fs::temp_directory_path() / "kova-bench-XXXXXX").string();
  f.dir = mkdtemp(tmpl.data());
  f.file = f.dir / (std::string(tag) + ".dat");
  TVrFileCollection c;
  for (int i = 0; i < count; ++i) {
    std::string name = "data\\" + std::to_string(i) + ".txt";
    Bytes d = Content(size, static_cast<uint32_t>(i));
    c.AddMemoryEntry(name).data->Write(d.data(), d.size());
    f.names.push_back(name);
    f.compressed.push_back(Deflate(d));
    f.total += static_cast<int64_t>(d.size());
  }
  TNxBigFileStream s(f.file, TNxBigFileStream::Mode::kCreate);
  c.SaveArchive(s);
  return f;
}

template <typename F>
double SecondsPerRun(F&& f) {
  using Clock = std::chrono::steady_clock;
  f();  // warm
  int reps = 0;
  const auto start = Clock::now();
  do {
    f();
    ++reps;
  } while (Clock::now() - start < std::chrono::milliseconds(300));
  return std::chrono::duration<double>(Clock::now() - start).count() / reps;
}

void ReadArchive(benchmark::State& state, const char* tag, int count, size_t size) {
  static std::map<std::string, Fixture> fixtures;
  auto it = fixtures.find(tag);
  if (it == fixtures.end()) it = fixtures.emplace(tag, Make(tag, count, size)).first;
  Fixture& f = it->second;

  TVrFileCollection c;
  c.OpenArchive(f.file);
  auto readAll = [&] {
    for (const auto& n : f.names)
      benchmark::DoNotOptimize(c.ReadEntryBytes(n));
  };
  const double inflateOnly = SecondsPerRun([&] {
    for (const auto& z : f.compressed)
      benchmark::DoNotOptimize(Inflate(z, "x"));
  });
  const double plainRead = SecondsPerRun([&] {
    Bytes all = ReadWholeFile(f.file);
    benchmark::DoNotOptimize(all);
  });
  const double archive = SecondsPerRun(readAll);
  for (auto _ : state)
    readAll();
  state.SetBytesProcessed(state.iterations() * f.total);
  state.counters["x_inflate"] = archive / inflateOnly;
  state.counters["x_read"] = archive / plainRead;
}

void BM_ReadSmallEntries(benchmark::State& s) {
  ReadArchive(s, "small", 5000, 2048);
}
void BM_ReadLargeEntries(benchmark::State& s) {
  ReadArchive(s, "large", 4, 4 << 20);
}
BENCHMARK(BM_ReadSmallEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLargeEntries)->Unit(benchmark::kMillisecond);

void BM_LookupByName(benchmark::State& state) {
  static TVrFileCollection c;
  static std::vector<std::string> names;
  if (names.empty()) {
    for (int i = 0; i < 100000; ++i) {
      names.push_back("cg\\ev" + std::to_string(i) + "_a.vel");
      c.AddFileEntry(names.back());
    }
  }
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.FindEntry(names[i]));
    i = (i + 7919) % names.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupByName);

}  // namespace
}  // namespace kova
