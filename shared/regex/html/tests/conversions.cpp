#include "shared/regex/html/tests/conversions.h"

#include <fstream>
#include <sstream>

namespace vantor::html::testing {

std::wstring WidenBytes(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    int n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    char32_t v = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
    bool ok = n >= 0 && i + n < bytes.size() + (n == 0 ? 1 : 0);
    for (int k = 1; ok && k <= n; ++k) {
      unsigned char d = static_cast<unsigned char>(bytes[i + k]);
      if ((d & 0xC0) != 0x80) ok = false;
      v = (v << 6) | (d & 0x3F);
    }
    if (ok && n > 0 && (v < 0x80 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(wchar_t(c));
      ++i;
      continue;
    }
    out.push_back(wchar_t(v));
    i += n + 1;
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace vantor::html::testing
