// The generated substitution corpus (testing/regex_corpus): every case must give the count, text
// and kept records that it gave when the expected file was written, in both matching modes. Run
// with VANTOR_WRITE_EXPECTED=1 to write the expected file afresh, only when a result is meant to
// change.
#include <sstream>

#include "shared/regex/tests/corpus_text.h"
#include "shared/regex/tests/regex_test_util.h"

namespace {

const std::string kDir = VANTOR_REGEX_CORPUS_DIR;

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab - at));
        if (tab == std::string::npos) return fields;
        at = tab + 1;
    }
}

struct subst_case {
    unsigned flags = 0;
    size_t pos = 0, len = std::wstring::npos;
    std::wstring pattern, replacement, subject;
};

std::vector<subst_case> read_cases() {
    std::vector<subst_case> cases;
    std::ifstream in(kDir + "/cases.txt", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = split_tabs(line);
        if (f.size() != 6) throw std::runtime_error("a case needs six fields: " + line);
        subst_case c;
        c.flags = unsigned(std::stoul(f[0]));
        c.pos = std::stoul(f[1]);
        c.len = f[2] == "-1" ? std::wstring::npos : std::stoul(f[2]);
        c.pattern = corpus_text::unescape(f[3]);
        c.replacement = corpus_text::unescape(f[4]);
        c.subject = corpus_text::unescape(f[5]);
        cases.push_back(c);
    }
    return cases;
}

// The outcome of one case as one escaped line: the compile error, or the count, the text and
// each kept record as start:length ("-" when the group took no part).
std::wstring outcome_of(const subst_case& c, unsigned flags, unsigned mode) {
    try {
        regex::rpattern p(c.pattern, c.replacement, flags, mode);
        regex::subst_results r;
        std::wstring text = c.subject;
        size_t n = p.substitute(text, r, c.pos, c.len);
        std::wostringstream out;
        out << n << L'\t' << text << L'\t';
        for (size_t i = 0; i < r.cbackrefs(); ++i) {
            if (i) out << L' ';
            if (r.matched(i))
                out << r.rstart(i) << L':' << r.rlength(i);
            else
                out << L'-';
        }
        return out.str();
    } catch (const regex::bad_regexpr& e) {
        std::string what = e.what();
        return L"error\t" + std::wstring(what.begin(), what.end());
    }
}

TEST(RegexCorpus, SubstitutionsGiveTheExpectedResults) {
    const std::vector<subst_case> cases = read_cases();
    ASSERT_GE(cases.size(), 4000u);
    if (corpus_text::writing_expected()) {
        std::vector<std::wstring> out;
        for (const subst_case& c : cases) out.push_back(outcome_of(c, c.flags, regex::MODE_DEFAULT));
        corpus_text::write_lines(kDir + "/expected.txt", out);
        return;
    }
    const std::vector<std::wstring> expected = corpus_text::read_lines(kDir + "/expected.txt");
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const subst_case& c = cases[i];
        for (unsigned mode : {regex::MODE_DEFAULT, regex::MODE_SAFE})
            ASSERT_EQ(outcome_of(c, c.flags, mode), expected[i])
                << "case " << i + 1 << " mode " << mode << ": " << regex_test::narrow(c.pattern);
        // Keeping no records changes nothing else: the same count and text, and no records.
        std::wstring without = expected[i].substr(0, expected[i].rfind(L'\t') + 1);
        if (expected[i].rfind(L"error\t", 0) == 0) without = expected[i];
        ASSERT_EQ(outcome_of(c, c.flags | regex::NOBACKREFS, regex::MODE_DEFAULT), without)
            << "case " << i + 1 << " without records: " << regex_test::narrow(c.pattern);
    }
}

}  // namespace
