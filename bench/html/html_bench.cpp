// Speed of the HTML conversions. Run: build/release/bin/vantor_html_bench [sizes] [hostile]
// (both parts when neither is named).
//
// sizes: auction descriptions of 10 KB to 30 MB (the corpus's generated pages repeated as one
//   page), converted to text, without the header and to HTML, beside html2text, w3m -dump and
//   lynx -dump on the same file. The broken-markup page is left out of the repeats: its
//   unclosed comment makes the three tools skip the rest of the page (w3m wrote 18 KB of text
//   for 3 MB of it), and a tool that skips the page does not convert it. Each figure is the median CPU time of its runs (ours in this
//   process, the tools' as child processes), the converters interleaved run by run so that a
//   machine that speeds up or slows down touches all alike. Prints time per MB, each converter's
//   time per MB relative to its 1 MB figure, and ours relative to w3m -dump.
// hostile: pages where every tag or reference candidate fails before one distant closing
//   character, at 16k, 40k and 160k characters, beside a normal page of the same sizes: how much
//   the time grows from 16k to 160k, and that growth relative to the normal page's.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/cpu_time.h"
#include "shared/regex/html/tests/conversions.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using vantor::html::testing::ReadFile;
using vantor::html::testing::WidenBytes;
// The conversions as the host calls them; the argument is made before the timing.
#ifdef VANTOR_HTML_WITH_ENGINE
size_t ToText(const wchar_t* html) { return size_t(hxConvertToPlaintext(html).GetLength()); }
size_t NoHeader(const wchar_t* html) { return size_t(hxRemoveHTMLHeader(html).GetLength()); }
size_t ToHTML(const CString& text) {
  CString html;
  hxConvertToPlainHTML(text, html);
  return size_t(html.GetLength());
}
using Text = CString;
#else
using vantor::html::testing::ViaReference;
size_t ToText(const wchar_t* html) { return ViaReference::Plain(html).size(); }
size_t NoHeader(const wchar_t* html) { return ViaReference::Header(html).size(); }
size_t ToHTML(const std::wstring& text) { return ViaReference::ToHTML(text).size(); }
using Text = std::wstring;
#endif

volatile size_t g_sink;  // keeps the results of timed calls alive
using bench::cpu_seconds;
using bench::median;

// CPU seconds (user and system) of one run of a tool, or -1 when it did not run cleanly; what
// it writes goes to `output`.
double ToolSeconds(const std::vector<std::string>& argv, const std::string& output = "/dev/null") {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  auto sec = [](const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) * 1e-6; };
  return sec(ru.ru_utime) + sec(ru.ru_stime);
}

// The corpus's auction descriptions (bodies only) repeated up to `bytes` of UTF-8, as one page.
std::string MakePage(const std::vector<std::string>& pieces, size_t bytes) {
  std::string page = "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=utf-8\">"
                     "<title>Aukcja</title><style>td { color: #333 }</style></head><body>\n";
  const std::string tail = "</body></html>\n";
  for (size_t i = 0; page.size() + tail.size() < bytes; ++i) {
    const std::string& p = pieces[i % pieces.size()];
    page.append(p, 0, std::min(p.size(), bytes - tail.size() - page.size()));
  }
  return page + tail;
}

std::vector<std::string> CorpusPieces() {
  std::vector<std::string> pieces;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(VANTOR_HTML_CORPUS_DIR) / "generated")) {
    const auto name = e.path().filename();
    if (e.path().extension() != ".html" || name == "cp1250-page.html" || name == "broken-markup.html") continue;
    std::string body = ReadFile(e.path().string());
    size_t b = body.find("<BODY"), end = body.find("</BODY>");
    if (b != std::string::npos && end != std::string::npos) body = body.substr(b, end - b);
    pieces.push_back(body);
  }
  std::sort(pieces.begin(), pieces.end());
  return pieces;
}

struct Converter {
  std::string name;
  // CPU seconds of one conversion (-1: failed); what it wrote (characters or bytes) in `out`
  std::function<double(const std::wstring&, const fs::path&, size_t& out)> seconds;
};

void Sizes(const std::vector<std::string>& pieces, const fs::path& dir) {
  struct Size {
    const char* label;
    size_t bytes;
  };
  const Size sizes[] = {{"10 KB", 10 << 10}, {"100 KB", 100 << 10}, {"1 MB", 1 << 20},
                        {"3 MB", 3 << 20},   {"10 MB", 10 << 20},   {"30 MB", 30 << 20}};
  auto ours = [](size_t (*f)(const wchar_t*)) {
    return [f](const std::wstring& text, const fs::path&, size_t& out) {
      return cpu_seconds([&] { out = f(text.c_str()); });
    };
  };
  auto toHTML = [](const std::wstring& text, const fs::path&, size_t& out) {
    const Text argument(text.c_str());
    return cpu_seconds([&] { out = ToHTML(argument); });
  };
  auto tool = [&dir](std::vector<std::string> argv) {
    return [argv, &dir](const std::wstring&, const fs::path& file, size_t& out) {
      std::vector<std::string> a = argv;
      a.push_back(file.string());
      const fs::path written = dir / "tool_output.txt";
      double t = ToolSeconds(a, written.string());
      std::error_code ec;
      out = size_t(fs::file_size(written, ec));
      return t;
    };
  };
  const std::vector<Converter> converters = {
      {"to text", ours(ToText)},
      {"no header", ours(NoHeader)},
      {"to HTML", toHTML},
      {"html2text", tool({"html2text", "-utf8"})},
      {"w3m -dump", tool({"w3m", "-dump", "-T", "text/html"})},
      {"lynx -dump", tool({"lynx", "-dump", "-force_html", "-nolist"})},
  };
  const size_t kW3m = 4;

  std::printf("time per MB in ms (median CPU time of the runs; ours in process, the tools as processes)\n");
  std::printf("%-7s", "size");
  for (const auto& c : converters) std::printf(" %11s", c.name.c_str());
  std::printf("\n");
  std::vector<std::vector<double>> perMB(std::size(sizes));
  std::vector<size_t> writtenAt1MB(converters.size());
  for (size_t si = 0; si < std::size(sizes); ++si) {
    const Size& size = sizes[si];
    std::string page = MakePage(pieces, size.bytes);
    fs::path file = dir / ("page_" + std::to_string(size.bytes) + ".html");
    std::ofstream(file, std::ios::binary) << page;
    std::wstring wide = WidenBytes(page);
    double mb = double(page.size()) / (1 << 20);
    const int runs = size.bytes >= (10u << 20) ? 3 : 5;
    std::vector<std::vector<double>> t(converters.size());
    std::vector<size_t> written(converters.size());
    for (int r = 0; r < runs; ++r)
      for (size_t c = 0; c < converters.size(); ++c) t[c].push_back(converters[c].seconds(wide, file, written[c]));
    if (size.bytes == (1u << 20)) writtenAt1MB = written;
    std::printf("%-7s", size.label);
    for (size_t c = 0; c < converters.size(); ++c) {
      bool failed = std::any_of(t[c].begin(), t[c].end(), [](double x) { return x < 0; });
      perMB[si].push_back(failed ? -1 : median(t[c]) / mb);
      if (failed)
        std::printf(" %11s", "failed");
      else
        std::printf(" %11.2f", perMB[si].back() * 1e3);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("\nwritten for the 1 MB page (ours: characters, the tools: bytes), in thousands:\n       ");
  for (size_t c = 0; c < converters.size(); ++c) std::printf(" %11zu", writtenAt1MB[c] / 1000);
  std::printf("\n");
  const size_t kOneMB = 2;
  std::printf("\ntime per MB relative to the 1 MB figure:\n%-7s", "size");
  for (const auto& c : converters) std::printf(" %11s", c.name.c_str());
  std::printf("\n");
  for (size_t si = 0; si < std::size(sizes); ++si) {
    std::printf("%-7s", sizes[si].label);
    for (size_t c = 0; c < converters.size(); ++c) {
      double a = perMB[si][c], b = perMB[kOneMB][c];
      if (a < 0 || b <= 0)
        std::printf(" %11s", "-");
      else
        std::printf(" %11.2f", a / b);
    }
    std::printf("\n");
  }
  std::printf("\nours relative to w3m -dump (below 1: faster):\n%-7s", "size");
  for (size_t c = 0; c < 3; ++c) std::printf(" %11s", converters[c].name.c_str());
  std::printf("\n");
  for (size_t si = 0; si < std::size(sizes); ++si) {
    std::printf("%-7s", sizes[si].label);
    for (size_t c = 0; c < 3; ++c) {
      double w = perMB[si][kW3m];
      if (w <= 0)
        std::printf(" %11s", "-");
      else
        std::printf(" %11.2f", perMB[si][c] / w);
    }
    std::printf("\n");
  }
}

void Hostile(const std::vector<std::string>& pieces) {
  struct Case {
    const char* name;
    const wchar_t* unit;
    const wchar_t* tail;
    size_t (*convert)(const wchar_t*);
  };
  const Case cases[] = {
      {"\"&b \"... \";\" to text", L"&b ", L";", ToText},
      {"\"a & b \"... \";\" to text", L"a & b ", L";", ToText},
      {"\"<brx \"... \">\" to text", L"<brx ", L">", ToText},
      {"\"</bodyx \"... \">\" no header", L"</bodyx ", L">", NoHeader},
  };
  const size_t lengths[] = {16000, 40000, 160000};
  std::wstring normalText = WidenBytes(MakePage(pieces, 200000));
  auto page = [](const Case& c, size_t n) {
    std::wstring s;
    while (s.size() + wcslen(c.unit) + wcslen(c.tail) <= n) s += c.unit;
    return s + c.tail;
  };
  std::printf("\nhostile pages: ms (median CPU time of 3 runs) at 16k, 40k and 160k characters; growth 16k->160k\n");
  std::printf("%-30s %10s %10s %10s %8s %12s\n", "page", "16k", "40k", "160k", "growth", "vs normal");
  auto row = [&](const char* name, const std::function<std::wstring(size_t)>& make,
                 size_t (*convert)(const wchar_t*), double normalGrowth) {
    std::vector<double> ms;
    for (size_t n : lengths) {
      std::wstring text = make(n);
      std::vector<double> t;
      for (int r = 0; r < 3; ++r) t.push_back(cpu_seconds([&] { g_sink = g_sink + convert(text.c_str()); }));
      ms.push_back(median(t) * 1e3);
    }
    double growth = ms[2] / ms[0];
    std::printf("%-30s %10.3f %10.3f %10.3f %7.1fx", name, ms[0], ms[1], ms[2], growth);
    if (normalGrowth > 0) std::printf(" %11.2fx", growth / normalGrowth);
    std::printf("\n");
    std::fflush(stdout);
    return growth;
  };
  double normal = row("normal page, to text", [&](size_t n) { return normalText.substr(0, n); }, ToText, 0);
  row("normal page, no header", [&](size_t n) { return normalText.substr(0, n); }, NoHeader, 0);
  for (const Case& c : cases) row(c.name, [&](size_t n) { return page(c, n); }, c.convert, normal);
}

}  // namespace

int main(int argc, char** argv) {
  bool sizes = argc < 2, hostile = argc < 2;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "sizes") == 0)
      sizes = true;
    else if (std::strcmp(argv[i], "hostile") == 0)
      hostile = true;
    else {
      std::fprintf(stderr, "usage: %s [sizes] [hostile]\n", argv[0]);
      return 2;
    }
  }
  std::vector<std::string> pieces = CorpusPieces();
  fs::path dir = fs::temp_directory_path() / ("vantor_html_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  if (sizes) Sizes(pieces, dir);
  if (hostile) Hostile(pieces);
  fs::remove_all(dir);
  return 0;
}
