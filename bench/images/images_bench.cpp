// Makes N JPEG photographs of 4000 x 3000 (12 MP; N = 100 unless given as the first argument),
// then in one run:
//   thumbnails: CHalvexImage from each file (placement in the parameters' box, the
//     photograph decoded at the JPEG decoder's reduced scale, a GDI+ thumbnail) beside Magick++
//     reading the whole file and making a thumbnail of the same size, as the list did before
//     (the aim: at least 4 times faster);
//   fitting:    hxAdjustImageToLength(resize, not exact, maxSide 1600, 100 KB) beside Magick++
//     reading, resizing with the Catmull-Rom filter and searching the JPEG quality the same way
//     (the aim: within 1.3x of Magick++).
// Prints both times and the ratios.
#include <Magick++.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "host/host.h"
#include "shared/controls/hximage.h"
#include "shared/hxinstance.h"
#include "testing/pictures/pictures.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kMaxSide = 1600, kMaxBytes = 100000;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The same steps as the list's cell: the placement in the box, then a thumbnail of that size.
void MagickThumbnail(const std::string& path) {
  Magick::Image picture;
  picture.read(path);
  const int a = 90 * 7 / 10, b = 120 * 9 / 10;
  const int iw = static_cast<int>(picture.columns()), ih = static_cast<int>(picture.rows());
  int w = b, h = b * ih / iw;
  if (a * iw / ih < b) w = a * iw / ih, h = a;
  Magick::Geometry size(static_cast<size_t>(w), static_cast<size_t>(h));
  size.aspect(true);
  picture.thumbnail(size);
}

// Scaled as without exact (the first step of 100, 75, 50, 45 ... 5 percent within a tenth of
// maxSide), then the quality searched from 50 as hxAdjustImageToLength searches it.
size_t MagickFit(const std::string& bytes) {
  Magick::Image picture;
  picture.read(Magick::Blob(bytes.data(), bytes.size()));
  const long long w = static_cast<long long>(picture.columns()), h = static_cast<long long>(picture.rows());
  const long long longer = w > h ? w : h;
  long long target = kMaxSide;
  for (int p : {100, 75, 50, 45, 40, 35, 30, 25, 20, 15, 10, 5}) {
    const long long c = longer * p / 100;
    if (std::llabs(c - kMaxSide) <= kMaxSide / 10) {
      target = c;
      break;
    }
  }
  const long long nw = w > h ? target : w * target / h;
  Magick::Geometry size(static_cast<size_t>(nw), static_cast<size_t>(h * nw / w));
  size.aspect(true);
  picture.filterType(Magick::CatromFilter);
  picture.resize(size);
  picture.strip();
  picture.magick("JPEG");
  int lo = 0, hi = 100;
  for (;;) {
    const int quality = (lo + hi) / 2;
    if (quality <= 0) return 0;
    Magick::Image copy = picture;
    copy.quality(static_cast<size_t>(quality));
    Magick::Blob out;
    copy.write(&out);
    const bool fits = out.length() <= static_cast<size_t>(kMaxBytes);
    if (fits) lo = quality;
    else hi = quality;
    if (fits && hi - lo <= 1) return out.length();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  Magick::InitializeMagick(nullptr);
  char folderTemplate[] = "/tmp/vantor-bench-images-XXXXXX";
  if (!mkdtemp(folderTemplate)) return 1;
  const std::string folder = folderTemplate;
  CoInitialize(nullptr);
  int status = 0;
  {
    host::Host host(std::wstring(folder.begin(), folder.end()) + L"/bench.db");
    CHxInstance::SetInstance(host.Instance());

    std::printf("making %d JPEG photographs of %d x %d...\n", count, kWidth, kHeight);
    std::vector<std::string> paths, photos;
    for (int i = 0; i < count; ++i) {
      photos.push_back(testpictures::Photo("JPEG", kWidth, kHeight, 90, static_cast<unsigned>(i + 1)));
      paths.push_back(folder + "/photo" + std::to_string(i) + ".jpg");
      std::ofstream(paths.back(), std::ios::binary) << photos.back();
    }

    auto start = std::chrono::steady_clock::now();
    int cells = 0;
    for (const std::string& path : paths) {
      CHalvexImage image(std::wstring(path.begin(), path.end()).c_str());
      cells += image.Picture() ? 1 : 0;
    }
    const double ours = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (const std::string& path : paths) MagickThumbnail(path);
    const double direct = Seconds(start);

    start = std::chrono::steady_clock::now();
    int fitted = 0;
    for (const std::string& bytes : photos) {
      IStreamPtr result = hxAdjustImageToLength(testpictures::StreamOf(bytes), true, false, kMaxSide, kMaxBytes);
      fitted += result ? 1 : 0;
    }
    const double oursFit = Seconds(start);
    start = std::chrono::steady_clock::now();
    int fittedDirect = 0;
    for (const std::string& bytes : photos) fittedDirect += MagickFit(bytes) ? 1 : 0;
    const double directFit = Seconds(start);

    std::printf("thumbnails: CHalvexImage %.2f s (%d cells), Magick++ decoding each whole %.2f s: %.1f times faster "
                "(aim: at least 4)\n",
                ours, cells, direct, direct / ours);
    std::printf("fitting into %d bytes: hxAdjustImageToLength %.2f s (%d fitted), Magick++ %.2f s (%d): ratio %.2fx\n",
                kMaxBytes, oursFit, fitted, directFit, fittedDirect, oursFit / directFit);
    std::printf("aim of the fitting: within 1.3x\n");
    if (cells != count || fitted != count) status = 1;
    CHxInstance::SetInstance(nullptr);
    for (const std::string& path : paths) std::remove(path.c_str());
  }
  CoUninitialize();
  std::string db = folder + "/bench.db";
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((db + suffix).c_str());
  rmdir(folder.c_str());
  return status;
}
