// `vantor thumbnail FILE OUT.png`: a picture file's cell of the picture list, in the data
// parameters' thumbnail box, saved as PNG; `vantor fit-image FILE MAXBYTES OUT [--max-side N]
// [--exact]`: the picture re-encoded as JPEG within a byte budget.
#include <fstream>
#include <iterator>
#include <string>

#include "host/command.h"
#include "platform/gui/headless.h"
#include "shared/controls/hximage.h"

namespace {

int Thumbnail(host::CommandContext& context) {
  if (context.args.size() != 2) {
    host::Write(stderr, L"vantor: użycie: vantor thumbnail PLIK WYNIK.png\n");
    return 2;
  }
  const std::wstring file = host::Widen(context.args[0]), out = host::Widen(context.args[1]);
  if (!std::ifstream(context.args[0], std::ios::binary)) {
    host::Write(stderr, L"vantor: nie można odczytać pliku " + file + L"\n");
    return 1;
  }
  CHalvexImage picture(file.c_str());
  const int width = picture.Width(), height = picture.Height();
  if (width <= 0 || height <= 0) {
    host::Write(stderr, L"vantor: parametry danych nie podają rozmiaru miniatury (pd_IR_ThumbnailCX, pd_IR_ThumbnailCY)\n");
    return 1;
  }
  CDC dc;
  CBitmap bitmap;
  if (!dc.CreateCompatibleDC(nullptr) || !bitmap.CreateCompatibleBitmap(&dc, width, height)) {
    host::Write(stderr, L"vantor: nie można utworzyć obrazu miniatury\n");
    return 1;
  }
  CBitmap* old = dc.SelectObject(&bitmap);
  picture.Draw(dc, CRect(0, 0, width, height), false);
  platform::gui::Image image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.SetPixel(x, y, dc.GetPixel(x, y));
  dc.SelectObject(old);
  if (!image.SavePng(out)) {
    host::Write(stderr, L"vantor: nie można zapisać pliku " + out + L"\n");
    return 1;
  }
  if (!picture.Picture())
    host::Write(stderr, L"vantor: plik " + file + L" nie jest obsługiwanym obrazem; zapisano sam podpis\n");
  host::Write(stdout, L"Zapisano miniaturę " + std::to_wstring(picture.ThumbWidth()) + L" x " +
                          std::to_wstring(picture.ThumbHeight()) + L" w polu " + std::to_wstring(width) + L" x " +
                          std::to_wstring(height) + L" w pliku " + out + L"\n");
  return picture.Picture() ? 0 : 1;
}

// Reads a picture file for fitting: its size is checked against the decoder's bound and its kind
// by its first bytes before the rest is read (a device or a huge file is never read whole). 0, or
// the exit status with the message written.
int ReadPicture(const std::string& path, const std::wstring& file, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    host::Write(stderr, L"vantor: nie można odczytać pliku " + file + L"\n");
    return 1;
  }
  const auto tooLarge = [&file] {
    host::Write(stderr, L"vantor: plik " + file + L" jest za duży na obraz (najwyżej " +
                            host::Count(Gdiplus::kMaxPictureBytes, L"bajt", L"bajty", L"bajtów") + L")\n");
    return 1;
  };
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size > 0 && static_cast<ULONGLONG>(size) > Gdiplus::kMaxPictureBytes) return tooLarge();
  in.clear();
  in.seekg(0, std::ios::beg);
  char head[32];
  in.read(head, sizeof head);
  const size_t got = static_cast<size_t>(in.gcount());
  if (!Gdiplus::IsPictureHeader(reinterpret_cast<const BYTE*>(head), got)) {
    host::Write(stderr, L"vantor: plik " + file + L" nie jest obrazem (JPEG, GIF, PNG, BMP ani TIFF)\n");
    return 1;
  }
  bytes.assign(head, got);
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (bytes.size() > Gdiplus::kMaxPictureBytes) return tooLarge();
  }
  if (in.bad()) {
    host::Write(stderr, L"vantor: nie można odczytać pliku " + file + L"\n");
    return 1;
  }
  return 0;
}

// Why a picture was not fitted: it does not decode, it does not encode as JPEG, or even the
// lowest quality is over the limit.
std::wstring WhyNotFitted(const IStreamPtr& source, const std::wstring& file, long maxBytes) {
  LARGE_INTEGER zero{};
  source->Seek(zero, STREAM_SEEK_SET, nullptr);
  Gdiplus::Image decoded(static_cast<IStream*>(source));
  if (decoded.GetLastStatus() != Gdiplus::Ok)
    return L"plik " + file + L" nie jest obrazem, który można odczytać (stan " +
           std::to_wstring(static_cast<int>(decoded.GetLastStatus())) + L")";
  CLSID jpeg = GUID_NULL;
  CImgTools tools;
  IStream* raw = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &raw);
  IStreamPtr encoded(raw, false);
  ULONG lowest = 0;
  Gdiplus::EncoderParameters quality{1, {{Gdiplus::EncoderQuality, 1, Gdiplus::EncoderParameterValueTypeLong, &lowest}}};
  const Gdiplus::Status saved = tools.GetDefaultCodecInfo(jpeg) && jpeg != GUID_NULL && encoded
                                    ? decoded.Save(encoded, &jpeg, &quality)
                                    : Gdiplus::GenericError;
  if (saved != Gdiplus::Ok)
    return L"obrazu " + file + L" nie można zapisać jako JPEG (stan " + std::to_wstring(static_cast<int>(saved)) + L")";
  return L"obrazu " + file + L" nie da się zmieścić w " + std::to_wstring(maxBytes) +
         L" bajtach nawet przy najniższej jakości";
}

int FitImage(host::CommandContext& context) {
  const wchar_t* usage = L"vantor: użycie: vantor fit-image PLIK MAKS_BAJTÓW WYNIK [--max-side N] [--exact]\n";
  std::vector<std::string> words;
  long maxSide = 0;
  bool resize = false, exact = false;
  for (size_t i = 0; i < context.args.size(); ++i) {
    const std::string& a = context.args[i];
    if (a == "--exact") {
      exact = true;
    } else if (a == "--max-side") {
      if (i + 1 >= context.args.size() || !host::ParsePositive(context.args[i + 1], maxSide)) {
        host::Write(stderr, L"vantor: --max-side wymaga liczby dodatniej\n");
        return 2;
      }
      resize = true;
      ++i;
    } else {
      words.push_back(a);
    }
  }
  long maxBytes = 0;
  if (words.size() != 3) {
    host::Write(stderr, usage);
    return 2;
  }
  if (!host::ParsePositive(words[1], maxBytes)) {
    host::Write(stderr, L"vantor: MAKS_BAJTÓW musi być liczbą dodatnią\n");
    return 2;
  }
  if (exact && !resize) {
    host::Write(stderr, L"vantor: --exact wymaga --max-side\n");
    return 2;
  }
  const std::wstring file = host::Widen(words[0]), out = host::Widen(words[2]);
  std::string bytes;
  if (const int refused = ReadPicture(words[0], file, bytes)) return refused;
  IStream* raw = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &raw);
  IStreamPtr source(raw, false);
  ULONG written = 0;
  if (!bytes.empty()) source->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  IStreamPtr result =
      hxAdjustImageToLength(source, resize, exact, static_cast<int>(maxSide), static_cast<int>(maxBytes));
  if (!result) {
    host::Write(stderr, L"vantor: " + WhyNotFitted(source, file, maxBytes) + L"\n");
    return 1;
  }
  const bool same = result.GetInterfacePtr() == source.GetInterfacePtr();
  std::string encoded;
  LARGE_INTEGER zero{};
  result->Seek(zero, STREAM_SEEK_SET, nullptr);
  char chunk[65536];
  for (ULONG got = 0; SUCCEEDED(result->Read(chunk, sizeof chunk, &got)) && got > 0;) encoded.append(chunk, got);
  std::ofstream target(words[2], std::ios::binary | std::ios::trunc);
  if (!target || !target.write(encoded.data(), static_cast<std::streamsize>(encoded.size()))) {
    host::Write(stderr, L"vantor: nie można zapisać pliku " + out + L"\n");
    return 1;
  }
  target.close();
  Gdiplus::Image check(out.c_str());
  std::wstring size;
  if (check.GetLastStatus() == Gdiplus::Ok)
    size = L", " + std::to_wstring(check.GetWidth()) + L" x " + std::to_wstring(check.GetHeight());
  host::Write(stdout, std::wstring(same ? L"Plik mieści się w limicie; zapisano go bez zmian" : L"Zapisano JPEG") +
                          L" (" + host::Count(encoded.size(), L"bajt", L"bajty", L"bajtów") + size + L") w pliku " + out + L"\n");
  return 0;
}

const char* const kFitOptions[] = {"--max-side", nullptr};
const char* const kFitSwitches[] = {"--exact", nullptr};

}  // namespace

VANTOR_COMMAND(.name = "thumbnail",
               .usage = L"  thumbnail PLIK WYNIK.png  komórka listy zdjęć z miniaturą obrazu (pole z parametrów danych)\n",
               .order = 52, .run = Thumbnail, .maxArgs = 2);
VANTOR_COMMAND(.name = "fit-image",
               .usage = L"  fit-image PLIK MAKS_BAJTÓW WYNIK [--max-side N] [--exact]\n"
                        L"                     obraz jako JPEG w limicie bajtów (z --max-side: najpierw przeskalowany)\n",
               .order = 53, .run = FitImage, .maxArgs = 3, .options = kFitOptions, .switches = kFitSwitches);
