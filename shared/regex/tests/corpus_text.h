// Line files of the generated test corpora: one text per line, escaped so that any wide text
// fits on one ASCII line. Printable ASCII stands for itself except the backslash; "\\" is a
// backslash, "\n", "\r", "\t" are LF, CR and TAB, and "\u{HEX}" is any other character.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace corpus_text {

inline std::string escape(const std::wstring& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c >= 32 && c < 127) out += char(c);
        else {
            std::string digits;
            do {
                digits.insert(digits.begin(), hex[c & 15]);
                c >>= 4;
            } while (c);
            out += "\\u{" + digits + "}";
        }
    }
    return out;
}

inline std::wstring unescape(const std::string& line) {
    std::wstring out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c != '\\') {
            out += wchar_t(static_cast<unsigned char>(c));
            continue;
        }
        if (++i == line.size()) throw std::runtime_error("corpus line ends in a backslash");
        switch (line[i]) {
            case '\\': out += L'\\'; break;
            case 'n': out += L'\n'; break;
            case 'r': out += L'\r'; break;
            case 't': out += L'\t'; break;
            case 'u': {
                size_t close = line.find('}', i);
                if (i + 1 >= line.size() || line[i + 1] != '{' || close == std::string::npos)
                    throw std::runtime_error("bad \\u escape in a corpus line");
                out += wchar_t(std::stoul(line.substr(i + 2, close - i - 2), nullptr, 16));
                i = close;
                break;
            }
            default: throw std::runtime_error("unknown escape in a corpus line");
        }
    }
    return out;
}

// Every line of the file, unescaped; an empty vector when the file cannot be read.
inline std::vector<std::wstring> read_lines(const std::string& path) {
    std::vector<std::wstring> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) lines.push_back(unescape(line));
    return lines;
}

inline void write_lines(const std::string& path, const std::vector<std::wstring>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::wstring& l : lines) out << escape(l) << '\n';
    if (!out) throw std::runtime_error("cannot write " + path);
}

// True when the tests are asked to write their expected outputs afresh instead of comparing.
inline bool writing_expected() {
    const char* v = std::getenv("VANTOR_WRITE_EXPECTED");
    return v && *v && std::string(v) != "0";
}

}  // namespace corpus_text
