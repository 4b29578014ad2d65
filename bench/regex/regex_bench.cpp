// Times the engine beside PCRE2 (interpreter, 32-bit code units), Boost.Regex, RE2 (UTF-8,
// converted once outside the timing) and std::wregex on the same patterns over about 1 MB of
// generated HTML. Each engine counts the non-overlapping matches; the counts must agree.
#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>
#include <re2/re2.h>

#include <boost/regex.hpp>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "shared/regex/rpattern.h"

namespace {

std::wstring make_html(size_t target) {
    static const wchar_t* words[] = {L"aukcja", L"Kraków", L"telefon", L"gwarancja", L"nowy", L"zestaw",
                                     L"Gdańsk", L"wysyłka", L"kolor", L"running", L"testing", L"Polska",
                                     L"cena", L"zł", L"sprzedam", L"Warszawa", L"opis", L"stan"};
    std::mt19937 rng(42);
    auto word = [&] { return std::wstring(words[rng() % (sizeof words / sizeof *words)]); };
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

struct timing {
    double ms = -1;
    size_t count = 0;
};

timing measure(const std::function<size_t()>& f) {
    timing best;
    for (int rep = 0; rep < 3; ++rep) {
        auto t0 = std::chrono::steady_clock::now();
        size_t n = f();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (best.ms < 0 || ms < best.ms) best = {ms, n};
    }
    return best;
}

size_t pcre_count(const std::wstring& pat, const std::wstring& text, uint32_t opts) {
    int err;
    PCRE2_SIZE off;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR32>(pat.c_str()), pat.size(), opts | PCRE2_UTF, &err, &off, nullptr);
    if (!re) return size_t(-1);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    size_t n = 0, pos = 0;
    auto subj = reinterpret_cast<PCRE2_SPTR32>(text.c_str());
    while (pos <= text.size() && pcre2_match(re, subj, text.size(), pos, PCRE2_NO_UTF_CHECK, md, nullptr) > 0) {
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        ++n;
        pos = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    return n;
}

struct workload {
    const char* name;
    const wchar_t* pattern;  // shared syntax
    unsigned flags;          // ours
    bool re2_ok;
    bool std_ok;
};

}  // namespace

int main() {
    const std::wstring text = make_html(1 << 20);
    const std::string text8 = utf8(text);
    std::printf("text: %zu characters of generated HTML\n\n", text.size());

    const workload loads[] = {
        {"literal", L"</table>", 0, true, true},
        {"literal nocase", L"WARSZAWA", regex::NOCASE, true, true},
        {"set", L"[a-z]+ing", 0, true, true},
        {"alternation", L"Polska|Warszawa|Kraków|Gdańsk", 0, true, true},
        {"tag with attrs", L"<[a-z]+[^>]*>", 0, true, true},
        {"back-reference", L"<([a-z]+)>[^<]*</\\1>", 0, false, true},
        {"look-behind", L"(?<=<b>)\\w+", 0, false, false},
        {"lazy span", L"<script.*?</script>", 0, true, true},
        {"lazy span nocase", L"<SCRIPT[^>]*>.*?</SCRIPT>", regex::NOCASE, true, true},
    };

    std::printf("%-18s %10s %10s %10s %10s %10s %10s   %s\n", "workload", "ours ms", "ours safe", "pcre2 ms",
                "boost ms", "re2 ms", "std ms", "ours/pcre2  ours/boost  ours/re2  ours/std");
    for (const workload& w : loads) {
        bool nocase = (w.flags & regex::NOCASE) != 0;
        regex::rpattern ours(w.pattern, w.flags, regex::MODE_DEFAULT);
        regex::rpattern safe(w.pattern, w.flags, regex::MODE_SAFE);
        timing t_ours = measure([&] { return ours.count(text.begin(), text.end()); });
        timing t_safe = measure([&] { return safe.count(text.begin(), text.end()); });
        timing t_pcre = measure([&] { return pcre_count(w.pattern, text, nocase ? PCRE2_CASELESS : 0); });
        boost::wregex bre(w.pattern, nocase ? boost::regex::perl | boost::regex::icase : boost::regex::perl);
        timing t_boost = measure([&] {
            size_t n = 0;
            for (boost::wsregex_iterator it(text.begin(), text.end(), bre), end; it != end; ++it) ++n;
            return n;
        });
        timing t_re2;
        if (w.re2_ok) {
            RE2::Options o;
            o.set_case_sensitive(!nocase);
            RE2 re(utf8(w.pattern), o);
            t_re2 = measure([&] {
                size_t n = 0;
                re2::StringPiece in(text8);
                while (RE2::FindAndConsume(&in, re)) ++n;
                return n;
            });
        }
        timing t_std;
        if (w.std_ok) {
            std::wregex sre(w.pattern, nocase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript);
            t_std = measure([&] {
                size_t n = 0;
                for (std::wsregex_iterator it(text.begin(), text.end(), sre), end; it != end; ++it) ++n;
                return n;
            });
        }
        auto col = [](const timing& t) {
            static char buf[8][32];
            static int k = 0;
            char* b = buf[k++ & 7];
            if (t.ms < 0) std::snprintf(b, 32, "%10s", "n/a");
            else std::snprintf(b, 32, "%10.2f", t.ms);
            return b;
        };
        auto ratio = [&](const timing& t) {
            static char buf[8][32];
            static int k = 0;
            char* b = buf[k++ & 7];
            if (t.ms <= 0) std::snprintf(b, 32, "%10s", "-");
            else std::snprintf(b, 32, "%10.2fx", t_ours.ms / t.ms);
            return b;
        };
        std::printf("%-18s %s %s %s %s %s %s   %s %s %s %s\n", w.name, col(t_ours), col(t_safe), col(t_pcre),
                    col(t_boost), col(t_re2), col(t_std), ratio(t_pcre), ratio(t_boost), ratio(t_re2), ratio(t_std));
        bool agree = t_ours.count == t_safe.count && t_ours.count == t_pcre.count && t_ours.count == t_boost.count &&
                     (t_re2.ms < 0 || t_re2.count == t_ours.count) && (t_std.ms < 0 || t_std.count == t_ours.count);
        if (!agree)
            std::printf("   counts differ: ours %zu safe %zu pcre2 %zu boost %zu re2 %zu std %zu\n", t_ours.count,
                        t_safe.count, t_pcre.count, t_boost.count, t_re2.count, t_std.count);
    }
    std::printf("\nratios below 1 mean this engine is faster; n/a: the engine lacks the construct.\n");
    return 0;
}
