// Throughput of the HTML-to-text conversions on auction descriptions of 10 KB, 100 KB and 1 MB
// and on a 10 MB page, next to html2text, w3m -dump and lynx -dump on the same files.
// Prints MB/s per size and, per converter, the time per MB relative to the smallest size (close
// to 1.0 when time grows linearly with size).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shared/regex/html/tests/conversions.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using vantor::html::testing::ReadFile;
using vantor::html::testing::WidenBytes;

// Repeats the body of the corpus's auction descriptions up to `bytes` (UTF-8), as one page.
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

// Seconds per run of f, repeated until at least `budget` seconds have gone by.
double TimeRuns(const std::function<void()>& f, double budget = 0.5) {
  int runs = 0;
  auto start = Clock::now();
  double elapsed = 0;
  do {
    f();
    ++runs;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < budget);
  return elapsed / runs;
}

bool RunTool(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::vector<std::string> pieces;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(VANTOR_HTML_CORPUS_DIR) / "generated")) {
    if (e.path().extension() != ".html" || e.path().filename() == "cp1250-page.html") continue;
    std::string body = ReadFile(e.path().string());
    size_t b = body.find("<BODY"), end = body.find("</BODY>");
    if (b != std::string::npos && end != std::string::npos) body = body.substr(b, end - b);
    pieces.push_back(body);
  }
  std::sort(pieces.begin(), pieces.end());

  fs::path dir = fs::temp_directory_path() / ("vantor_html_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);

  struct Size {
    const char* label;
    size_t bytes;
  };
  const Size sizes[] = {{"10 KB", 10 << 10}, {"100 KB", 100 << 10}, {"1 MB", 1 << 20}, {"10 MB page", 10 << 20}};

  using Converter = std::function<std::wstring(const std::wstring&)>;
  std::vector<std::pair<std::string, Converter>> ours;
#ifdef VANTOR_HTML_WITH_ENGINE
  ours.push_back({"to text", vantor::html::testing::ViaExports::Plain});
  ours.push_back({"no header", vantor::html::testing::ViaExports::Header});
  ours.push_back({"to HTML", vantor::html::testing::ViaExports::ToHTML});
#endif
  ours.push_back({"to text/PCRE2", vantor::html::testing::ViaReference::Plain});
  const std::vector<std::pair<std::string, std::vector<std::string>>> tools = {
      {"html2text", {"html2text", "-utf8"}}, {"w3m -dump", {"w3m", "-dump", "-T", "text/html"}},
      {"lynx -dump", {"lynx", "-dump", "-force_html", "-nolist"}}};

  std::printf("%-11s", "size");
  for (auto& o : ours) std::printf(" %14s", o.first.c_str());
  for (auto& t : tools) std::printf(" %12s", t.first.c_str());
  std::printf("   (MB/s)\n");

  std::map<std::string, std::vector<double>> secondsPerMB;
  for (const Size& size : sizes) {
    std::string page = MakePage(pieces, size.bytes);
    fs::path file = dir / ("page_" + std::to_string(size.bytes) + ".html");
    std::ofstream(file, std::ios::binary) << page;
    std::wstring wide = WidenBytes(page);
    double mb = double(page.size()) / (1 << 20);
    std::printf("%-11s", size.label);
    for (auto& o : ours) {
      size_t sink = 0;
      double t = TimeRuns([&] { sink += o.second(wide).size(); });
      secondsPerMB[o.first].push_back(t / mb);
      std::printf(" %14.1f", mb / t);
    }
    for (auto& tool : tools) {
      std::vector<std::string> argv = tool.second;
      argv.push_back(file.string());
      bool ok = true;
      double t = TimeRuns([&] { ok = RunTool(argv) && ok; }, 1.0);
      secondsPerMB[tool.first].push_back(t / mb);
      if (ok)
        std::printf(" %12.1f", mb / t);
      else
        std::printf(" %12s", "failed");
    }
    std::printf("\n");
    std::fflush(stdout);
  }

  std::printf("\ntime per MB relative to 10 KB (1.0 = linear):\n");
  for (auto& [name, v] : secondsPerMB) {
    std::printf("  %-14s", name.c_str());
    for (double x : v) std::printf(" %6.2f", x / v[0]);
    std::printf("\n");
  }
  fs::remove_all(dir);
  return 0;
}
