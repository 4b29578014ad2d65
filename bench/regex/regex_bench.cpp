// Speed of the pattern engine beside PCRE2 (interpreter and JIT, 32-bit code units), RE2 (UTF-8,
// converted once outside the timing) and Boost.Regex. Run: build/release/bin/regex_bench
// [search] [hostile] [substitute] (every part when none is named).
//
// search: each engine counts the non-overlapping matches of a pattern in about 1 MB of
//   generated HTML (patterns compiled outside the timing); the counts are compared. Figures are
//   the median CPU time of five runs, the engines interleaved run by run.
// hostile: patterns that backtrack without end on the subject given; each engine runs in a child
//   process stopped after 10 s. An engine's own limit (PCRE2's match limit, this engine's step
//   budget) is reported as such.
// substitute: global substitution of every tag in 1 MB and 4 MB of the same HTML, beside
//   pcre2_substitute; time per MB (linear when the two sizes agree), 60 s limit per run.
#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>
#include <poll.h>
#include <re2/re2.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/regex.hpp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/cpu_time.h"
#include "shared/regex/rpattern.h"

namespace {

volatile size_t g_sink;

const wchar_t* const kTextWords[] = {L"aukcja", L"Kraków", L"telefon", L"gwarancja", L"nowy", L"zestaw",
                                     L"Gdańsk", L"wysyłka", L"kolor", L"running", L"testing", L"Polska",
                                     L"cena", L"zł", L"sprzedam", L"Warszawa", L"opis", L"stan"};

std::wstring make_html(size_t target) {
    std::mt19937 rng(42);
    auto word = [&] { return std::wstring(kTextWords[rng() % std::size(kTextWords)]); };
    std::wstring h = L"<html><head><title>Opis</title><style>p{color:red}</style></head><body>\n";
    int n = 0;
    while (h.size() < target) {
        switch (rng() % 6) {
            case 0: h += L"<p class=\"x\">" + word() + L" <b>" + word() + L"</b> " + word() + L"</p>\n"; break;
            case 1: h += L"<table><tr><td>" + word() + L"</td><td>" + std::to_wstring(rng() % 1000) + L" zł</td></tr></table>\n"; break;
            case 2: h += L"<script type=\"text/javascript\">var a" + std::to_wstring(n++) + L" = '" + word() + L"';</script>\n"; break;
            case 3: h += L"<div style=\"font-size:12px\"><i>" + word() + L"</i> &amp; " + word() + L"<br/></div>\n"; break;
            case 4: h += L"<ul><li>" + word() + L"</li><li>" + word() + L" " + word() + L"</li></ul>\n"; break;
            default: h += word() + L" " + word() + L" " + word() + L". "; break;
        }
    }
    return h + L"</body></html>\n";
}

// 306 words: the words of the text and 288 more made of syllables, some sharing the text words'
// beginnings, as a list of goods or places would.
std::wstring word_alternation() {
    static const wchar_t* syl[] = {L"ka", L"ro", L"mi", L"te", L"lu", L"sze", L"no", L"wa", L"pe", L"zy", L"do", L"bi"};
    std::wstring p;
    for (const wchar_t* w : kTextWords) p += std::wstring(p.empty() ? L"" : L"|") + w;
    for (int i = 0; i < 288; ++i) p += std::wstring(L"|") + syl[i % 12] + syl[(i / 12) % 12] + syl[(i / 144 + i) % 12];
    return p;
}

std::string utf8(const std::wstring& w) {
    std::string s;
    for (wchar_t wc : w) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c < 0x80) s += char(c);
        else if (c < 0x800) { s += char(0xC0 | (c >> 6)); s += char(0x80 | (c & 63)); }
        else if (c < 0x10000) { s += char(0xE0 | (c >> 12)); s += char(0x80 | ((c >> 6) & 63)); s += char(0x80 | (c & 63)); }
        else { s += char(0xF0 | (c >> 18)); s += char(0x80 | ((c >> 12) & 63)); s += char(0x80 | ((c >> 6) & 63)); s += char(0x80 | (c & 63)); }
    }
    return s;
}

PCRE2_SPTR32 sptr(const std::wstring& s) { return reinterpret_cast<PCRE2_SPTR32>(s.c_str()); }

// A compiled PCRE2 pattern, interpreted or with the JIT.
struct pcre {
    pcre2_code* re = nullptr;
    pcre2_match_data* md = nullptr;
    pcre(const std::wstring& pat, bool nocase, bool jit) {
        int err;
        PCRE2_SIZE off;
        re = pcre2_compile(sptr(pat), pat.size(), PCRE2_UTF | (nocase ? PCRE2_CASELESS : 0), &err, &off, nullptr);
        if (re && jit && pcre2_jit_compile(re, PCRE2_JIT_COMPLETE) != 0) {
            pcre2_code_free(re);
            re = nullptr;
        }
        if (re) md = pcre2_match_data_create_from_pattern(re, nullptr);
    }
    ~pcre() {
        if (md) pcre2_match_data_free(md);
        if (re) pcre2_code_free(re);
    }
    // >0 match, 0 no match, <0 PCRE2's error (match limit and the like).
    int match(const std::wstring& text, size_t pos) const {
        int rc = pcre2_match(re, sptr(text), text.size(), pos, PCRE2_NO_UTF_CHECK, md, nullptr);
        return rc == PCRE2_ERROR_NOMATCH ? 0 : rc;
    }
    size_t count(const std::wstring& text) const {
        size_t n = 0, pos = 0;
        while (pos <= text.size() && match(text, pos) > 0) {
            PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            ++n;
            pos = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
        }
        return n;
    }
};

struct workload {
    const char* name;
    std::wstring pattern;
    unsigned flags;  // ours; NOCASE also for the others
    bool re2_ok;
};

std::string cell(double ms) {
    char b[32];
    if (ms < 0)
        std::snprintf(b, sizeof b, "%9s", "n/a");
    else
        std::snprintf(b, sizeof b, "%9.2f", ms);
    return b;
}
std::string ratio(double a, double b) {
    char buf[32];
    if (a < 0 || b <= 0)
        std::snprintf(buf, sizeof buf, "%8s", "-");
    else
        std::snprintf(buf, sizeof buf, "%7.2fx", a / b);
    return buf;
}

void search_part() {
    const std::wstring text = make_html(1 << 20);
    const std::string text8 = utf8(text);
    std::printf("search: %zu characters of generated HTML; ms per count of all matches (median CPU time of 5 runs)\n\n",
                text.size());
    const std::vector<workload> loads = {
        {"literal", L"</table>", 0, true},
        {"literal nocase", L"WARSZAWA", regex::NOCASE, true},
        {"set", L"[a-z]+ing", 0, true},
        {"alternation", L"Polska|Warszawa|Kraków|Gdańsk", 0, true},
        {"tag with attrs", L"<[a-z]+[^>]*>", 0, true},
        {"back-reference", L"<([a-z]+)>[^<]*</\\1>", 0, false},
        {"look-behind", L"(?<=<b>)\\w+", 0, false},
        {"lazy span", L"<script.*?</script>", 0, true},
        {"lazy span nocase", L"<SCRIPT[^>]*>.*?</SCRIPT>", regex::NOCASE, true},
        {"capitalised word", L"\\b[A-Z]\\w+\\b", 0, true},
        {"price", L"[0-9]+ zł", 0, true},
        {"306 words", word_alternation(), 0, true},
        {"306 words nocase", word_alternation(), regex::NOCASE, true},
    };
    std::printf("%-17s %9s %9s %9s %9s %9s %9s  %8s %8s %8s\n", "workload", "ours", "ours safe", "pcre2", "pcre2 jit",
                "re2", "boost", "/pcre2", "/jit", "/re2");
    for (const workload& w : loads) {
        const bool nocase = (w.flags & regex::NOCASE) != 0;
        regex::rpattern ours(w.pattern, w.flags, regex::MODE_DEFAULT);
        regex::rpattern safe(w.pattern, w.flags, regex::MODE_SAFE);
        pcre interp(w.pattern, nocase, false), jit(w.pattern, nocase, true);
        boost::wregex bre(w.pattern, nocase ? boost::regex::perl | boost::regex::icase : boost::regex::perl);
        RE2::Options o;
        o.set_case_sensitive(!nocase);
        o.set_max_mem(256 << 20);
        RE2 re(utf8(w.pattern), o);
        using counter = std::function<size_t()>;
        std::vector<std::pair<const char*, counter>> engines = {
            {"ours", [&] { return ours.count(text.begin(), text.end()); }},
            {"ours safe", [&] { return safe.count(text.begin(), text.end()); }},
            {"pcre2", [&] { return interp.count(text); }},
            {"pcre2 jit", [&] { return jit.re ? jit.count(text) : size_t(-1); }},
            {"re2",
             [&] {
                 if (!w.re2_ok || !re.ok()) return size_t(-1);
                 size_t n = 0;
                 re2::StringPiece in(text8);
                 while (RE2::FindAndConsume(&in, re)) ++n;
                 return n;
             }},
            {"boost",
             [&] {
                 size_t n = 0;
                 for (boost::wsregex_iterator it(text.begin(), text.end(), bre), end; it != end; ++it) ++n;
                 return n;
             }},
        };
        std::vector<std::vector<double>> t(engines.size());
        std::vector<size_t> counts(engines.size());
        for (int run = 0; run < 5; ++run)
            for (size_t e = 0; e < engines.size(); ++e) {
                size_t n = 0;
                double s = bench::cpu_seconds([&] { n = engines[e].second(); });
                counts[e] = n;
                t[e].push_back(n == size_t(-1) ? -1 : s);
            }
        std::vector<double> ms;
        for (auto& v : t) ms.push_back(v[0] < 0 ? -1 : bench::median(v) * 1e3);
        std::printf("%-17s", w.name);
        for (double m : ms) std::printf(" %s", cell(m).c_str());
        std::printf("  %s %s %s\n", ratio(ms[0], ms[2]).c_str(), ratio(ms[0], ms[3]).c_str(), ratio(ms[0], ms[4]).c_str());
        std::string differ;
        for (size_t e = 1; e < engines.size(); ++e)
            if (counts[e] != size_t(-1) && counts[e] != counts[0])
                differ += std::string(" ") + engines[e].first + " " + std::to_string(counts[e]);
        if (!differ.empty()) std::printf("    counts: ours %zu,%s\n", counts[0], differ.c_str());
        std::fflush(stdout);
    }
    std::printf("\n/pcre2, /jit, /re2: ours relative to that engine (below 1: ours is faster). "
                "\\w and \\b are Unicode here, ASCII in PCRE2 and RE2.\n");
}

// What an engine answered in a child process: its CPU time and answer, or that it was stopped.
struct limited_run {
    bool done = false;
    double ms = 0;
    std::string answer;
    std::string text() const {
        char b[200];
        if (done)
            std::snprintf(b, sizeof b, "%10.2f ms  %s", ms, answer.c_str());
        else
            std::snprintf(b, sizeof b, "%10s     %s", "-", answer.c_str());
        return b;
    }
};

// Runs f in a child process stopped after `limit` seconds; f's answer and CPU time come back
// through a pipe.
limited_run limited(const std::function<std::string()>& f, int limit) {
    std::fflush(stdout);
    limited_run r;
    int fd[2];
    if (pipe(fd) != 0) {
        r.answer = "pipe failed";
        return r;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        double t0 = bench::cpu_now();
        std::string answer = f();
        char buf[200];
        int n = std::snprintf(buf, sizeof buf, "%.6f %s", (bench::cpu_now() - t0) * 1e3, answer.c_str());
        if (write(fd[1], buf, size_t(n)) < 0) _exit(1);
        _exit(0);
    }
    close(fd[1]);
    pollfd p{fd[0], POLLIN, 0};
    if (poll(&p, 1, limit * 1000) > 0) {
        char buf[200];
        ssize_t n = read(fd[0], buf, sizeof buf - 1);
        if (n > 0) {
            buf[n] = 0;
            char* rest = nullptr;
            r.ms = std::strtod(buf, &rest);
            r.answer = rest && *rest ? rest + 1 : "";
            r.done = true;
        }
    }
    if (!r.done) {
        kill(pid, SIGKILL);
        r.answer = "over " + std::to_string(limit) + " s: stopped by the benchmark";
    }
    waitpid(pid, nullptr, 0);
    close(fd[0]);
    return r;
}

std::string ours_answer(const regex::rpattern& p, const std::wstring& subject) {
    regex::match_results r;
    try {
        bool ok = p.match(subject, r);
        if (r.cut_short()) return "gave up (no match reported)";
        return ok ? "match" : "no match";
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
}

void hostile_part() {
    std::wstring fields = L"P";
    for (int i = 1; i < 40; ++i) fields += L",pole" + std::to_wstring(i);
    std::wstring tag = L"<";
    while (tag.size() < 1000) tag += L"a title=\"x y\" b='z' ";
    const struct {
        const char* name;
        std::wstring pattern, subject;
    } cases[] = {
        {"(a+)+b on 28 a's then cb", L"(a+)+b", std::wstring(28, L'a') + L"cb"},
        {"(.*,){8}P on 40 fields", L"(.*,){8}P", fields},
        {"unclosed tag, 1000 chars", L"<([^>]|\"[^\"]*\")*>", tag},
    };
    std::printf("\nhostile patterns: CPU time and answer of each engine (10 s limit per run)\n");
    for (const auto& c : cases) {
        std::printf("%s:\n", c.name);
        regex::rpattern ours(c.pattern);
        std::printf("  %-10s %s\n", "ours", limited([&] { return ours_answer(ours, c.subject); }, 10).text().c_str());
        for (bool jit : {false, true}) {
            pcre p(c.pattern, false, jit);
            std::printf("  %-10s %s\n", jit ? "pcre2 jit" : "pcre2", limited([&] {
                int rc = p.match(c.subject, 0);
                if (rc > 0) return std::string("match");
                if (rc == 0) return std::string("no match");
                if (rc == PCRE2_ERROR_MATCHLIMIT) return std::string("match limit");
                return "error " + std::to_string(rc);
            }, 10).text().c_str());
        }
        RE2 re(utf8(c.pattern));
        std::string s8 = utf8(c.subject);
        std::printf("  %-10s %s\n", "re2", limited([&] {
            return std::string(RE2::PartialMatch(s8, re) ? "match" : "no match");
        }, 10).text().c_str());
    }
}

void substitute_part() {
    std::printf("\nglobal substitution of every tag (\"<[^>]*>\" by \" \"): ms per MB (replacements), 60 s limit\n");
    std::printf("%-6s %22s %22s %22s\n", "size", "ours", "pcre2_substitute", "pcre2_substitute jit");
    const std::wstring pattern = L"<[^>]*>", repl = L" ";
    for (size_t mb : {1, 4}) {
        const std::wstring text = make_html(mb << 20);
        const double mbs = double(text.size()) / (1 << 20);
        regex::rpattern ours(pattern, repl, regex::GLOBAL);
        pcre interp(pattern, false, false), jit(pattern, false, true);
        std::printf("%zu MB  ", mb);
        limited_run a = limited([&] {
            std::wstring s = text;
            regex::subst_results r;
            double t0 = bench::cpu_now();
            size_t n = ours.substitute(s, r);
            char b[64];
            std::snprintf(b, sizeof b, "%.1f (%zu)", (bench::cpu_now() - t0) * 1e3 / mbs, n);
            return std::string(b);
        }, 60);
        std::printf(" %22s", a.answer.c_str());
        for (const pcre* p : {&interp, &jit}) {
            limited_run b = limited([&] {
                std::vector<PCRE2_UCHAR32> out(text.size() * 2);
                PCRE2_SIZE len = out.size();
                double t0 = bench::cpu_now();
                int n = pcre2_substitute(p->re, sptr(text), text.size(), 0, PCRE2_SUBSTITUTE_GLOBAL, nullptr, nullptr,
                                         sptr(repl), repl.size(), out.data(), &len);
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.1f (%d)", (bench::cpu_now() - t0) * 1e3 / mbs, n);
                return std::string(buf);
            }, 60);
            std::printf(" %22s", b.answer.c_str());
        }
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool all = argc < 2, search = all, hostile = all, subst = all;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "search") == 0)
            search = true;
        else if (std::strcmp(argv[i], "hostile") == 0)
            hostile = true;
        else if (std::strcmp(argv[i], "substitute") == 0)
            subst = true;
        else {
            std::fprintf(stderr, "usage: %s [search] [hostile] [substitute]\n", argv[0]);
            return 2;
        }
    }
    if (search) search_part();
    if (hostile) hostile_part();
    if (subst) substitute_part();
    return 0;
}
