// Throughput of the package header search, region location and checksum on
// 16 MiB synthetic images.
#include <benchmark/benchmark.h>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "image/image_checksum.h"
#include "image/image_layout.h"
#include "image/package_search.h"
#include "image/region_locator.h"
#include "imagegen/layouts.h"

namespace {

constexpr uint32_t kSize = 16u << 20;
constexpr uint32_t kBase = 0xFF000000;

imagegen::Bytes Image(brim::ImageLayout layout) {
  switch (layout) {
    case brim::ImageLayout::kTarvex: {
      imagegen::TarvexSpec spec;
      spec.size = kSize;
      spec.fSegmentBanks = {kSize / imagegen::kBank - 1};
      spec.areas = {{"A!PS", 0x400000, 0x100}, {"A!42", 0x500000, 0x2000}};
      return imagegen::BuildTarvex(spec);
    }
    case brim::ImageLayout::kLindar: {
      imagegen::LindarSpec spec;
      spec.size = kSize;
      spec.base = kBase;
      spec.directory = {{"A!DM", kBase + 0x200000, 0x800}, {"A!NV", kBase + 0x300000, 0x2000}};
      return imagegen::BuildLindar(spec);
    }
    case brim::ImageLayout::kQuorvel: break;
  }
  imagegen::QuorvelSpec spec;
  spec.size = kSize;
  spec.base = kBase;
  spec.directory = {{"A!ES", kBase + 0x800000, 0x2000}, {"A!PS", kBase + 0x150000, 0x1000}};
  return imagegen::BuildQuorvel(spec);
}

uint32_t FlagOf(brim::ImageLayout layout) {
  return layout == brim::ImageLayout::kLindar ? brim::kFlagLindar
         : layout == brim::ImageLayout::kQuorvel ? brim::kFlagQuorvel : 0;
}

void Adopt(brim::BiosImage& image, imagegen::Bytes bytes, uint32_t flag, uint32_t base) {
  image = brim::BiosImage{};
  image.buffer.assign(bytes.begin(), bytes.end());
  image.bytes = image.buffer.data();
  image.size = static_cast<uint32_t>(image.buffer.size());
  image.flagWord = flag;
  image.baseAddress = base;
}

void BM_PackageHeaderSearch(benchmark::State& state) {
  // A program file of patterned bytes with the package at its end.
  imagegen::Bytes package = imagegen::BuildPackage(Image(static_cast<brim::ImageLayout>(state.range(0))));
  imagegen::Bytes file = imagegen::BuildExecutable(package, 0x100000);
  for (auto _ : state) {
    brim::PackageMatch m = brim::FindPackageHeader(file.data(), file.size());
    benchmark::DoNotOptimize(m.imageOffset);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

void BM_PackageHeaderSearchInPatternedProgram(benchmark::State& state) {
  // Worst case for the search: 16 MiB of patterned program bytes, where the
  // model code's first letter turns up every 256 bytes or so.
  imagegen::Bytes file = imagegen::BuildExecutable(imagegen::BuildPackage(imagegen::Bytes(0x1000, 0)), kSize);
  for (auto _ : state) {
    brim::PackageMatch m = brim::FindPackageHeader(file.data(), file.size());
    benchmark::DoNotOptimize(m.imageOffset);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

void BM_LocateRegions(benchmark::State& state) {
  auto layout = static_cast<brim::ImageLayout>(state.range(0));
  brim::Settings().imageLoaded = 1;
  Adopt(brim::CurrentRomImage(), imagegen::Bytes(kSize, 0), FlagOf(layout), kBase);
  Adopt(brim::NewImage(), Image(layout), FlagOf(layout), 0);
  for (auto _ : state) {
    brim::LocateRegions(brim::NewImage());
    benchmark::DoNotOptimize(brim::NewImage().releaseNumber);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

void BM_ComputeImageChecksum(benchmark::State& state) {
  brim::BiosImage image;
  Adopt(image, Image(static_cast<brim::ImageLayout>(state.range(0))), 0, 0);
  for (auto _ : state) {
    brim::ComputeImageChecksum(image);
    benchmark::DoNotOptimize(image.checksum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

// 0 Tarvex, 1 Lindar, 2 Quorvel.
BENCHMARK(BM_PackageHeaderSearch)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackageHeaderSearchInPatternedProgram)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateRegions)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComputeImageChecksum)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
