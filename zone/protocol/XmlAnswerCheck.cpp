#include "zone/protocol/XmlAnswerCheck.h"

#include <stdsoap2.h>

#include <new>

namespace vorlen {
namespace {

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsBlank(uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Case-insensitive: does `text` start with `prefix`?
bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    char a = *text, b = *prefix;
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// The runtime takes a reference whole only when its ';' comes within seven characters.
constexpr size_t kLongestReference = 6;
// ... and this many of a processing instruction when it looks for an encoding.
constexpr size_t kPiStart = 63;

}  // namespace

void XmlAnswerCheck::Begin(bool bodyOnly) {
  state_ = bodyOnly ? State::Prolog : State::SkipToMarkup;
  result_ = Result::Ok;
  latin_ = false;
  elementSeen_ = false;
  first_ = true;
  pending_ = 0;
  code_ = 0;
  expected_ = nullptr;
  run_ = 0;
  text_.clear();
}

XmlAnswerCheck::Result XmlAnswerCheck::Feed(const char* data, size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const auto* end = p + size;
  while (result_ == Result::Ok && p < end) {
    unsigned char b = *p++;
    if (state_ == State::SkipToMarkup) {
      if (b == '<') state_ = State::AfterLt;
      continue;
    }
    if (pending_ > 0) {
      if (b < low_ || b > high_) return result_ = Result::BadEncoding;
      code_ = (code_ << 6) | (b & 0x3F);
      low_ = 0x80;
      high_ = 0xBF;
      if (--pending_ == 0) result_ = Char(code_);
      continue;
    }
    if (b < 0x80 || latin_) {
      // Plain text runs through here without a call per byte.
      if (state_ == State::Content && b >= 0x20 && b != '<' && b != '&') continue;
      result_ = Char(b);
      continue;
    }
    low_ = 0x80;
    high_ = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      pending_ = 1, code_ = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      pending_ = 2, code_ = b & 0x0F;
      if (b == 0xE0) low_ = 0xA0;   // no overlong forms
      if (b == 0xED) high_ = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      pending_ = 3, code_ = b & 0x07;
      if (b == 0xF0) low_ = 0x90;
      if (b == 0xF4) high_ = 0x8F;  // nothing above U+10FFFF
    } else {
      return result_ = Result::BadEncoding;
    }
  }
  return result_;
}

XmlAnswerCheck::Result XmlAnswerCheck::Char(uint32_t c) {
  const bool first = first_;
  first_ = false;
  if (!IsXmlChar(c)) return Result::Malformed;
  switch (state_) {
    case State::SkipToMarkup:
      break;
    case State::Prolog:
      if (c == '<') {
        state_ = State::AfterLt;
      } else if (!IsBlank(c) && !(first && c == 0xFEFF)) {
        return Result::Malformed;
      }
      break;
    case State::Content:
      if (c == '<') {
        state_ = State::AfterLt;
      } else if (c == '&') {
        state_ = State::Reference;
        text_.clear();
      }
      break;
    case State::AfterLt:
      if (c == '!') {
        state_ = State::AfterBang;
      } else if (c == '?') {
        state_ = State::Pi;
        text_.clear();
        run_ = 0;
      } else {
        // A tag: the characters of its name and attributes are content, references included.
        elementSeen_ = true;
        state_ = State::Content;
        return Char(c);
      }
      break;
    case State::AfterBang:
      if (c == '-') {
        expected_ = "-";
        cdata_ = false;
      } else if (c == '[') {
        expected_ = "CDATA[";
        cdata_ = true;
      } else {
        return Result::Malformed;  // a document type or another declaration
      }
      state_ = State::Declaration;
      break;
    case State::Declaration:
      if (c != static_cast<unsigned char>(*expected_)) return Result::Malformed;
      if (*++expected_ == '\0') {
        state_ = cdata_ ? State::CData : State::Comment;
        run_ = 0;
      }
      break;
    case State::Comment:
      if (c == '>' && run_ >= 2) {
        state_ = elementSeen_ ? State::Content : State::Prolog;
      } else {
        run_ = c == '-' ? run_ + 1 : 0;
      }
      break;
    case State::CData:
      if (c == '>' && run_ >= 2) {
        state_ = State::Content;
      } else {
        run_ = c == ']' ? run_ + 1 : 0;
      }
      break;
    case State::Pi:
      if (c == '>' && run_ == 1) {
        EndPi();
        state_ = elementSeen_ ? State::Content : State::Prolog;
        break;
      }
      run_ = c == '?' ? 1 : 0;
      if (text_.size() < kPiStart) text_.push_back(c < 0x80 ? (IsBlank(c) ? ' ' : static_cast<char>(c)) : '?');
      break;
    case State::Reference:
      if (c == ';') return EndReference();
      if (c >= 0x80 || text_.size() == kLongestReference) return Result::Malformed;
      text_.push_back(static_cast<char>(c));
      break;
  }
  return Result::Ok;
}

XmlAnswerCheck::Result XmlAnswerCheck::EndReference() {
  state_ = State::Content;
  const std::string& name = text_;
  if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos") return Result::Ok;
  if (name.size() < 2 || name[0] != '#') return Result::Malformed;
  const bool hex = name[1] == 'x';
  size_t i = hex ? 2 : 1;
  if (i == name.size()) return Result::Malformed;
  uint32_t value = 0;
  for (; i < name.size(); ++i) {
    char d = name[i];
    int digit = d >= '0' && d <= '9'                ? d - '0'
                : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                    : -1;
    if (digit < 0) return Result::Malformed;
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);  // at most 6 digits: no overflow
  }
  return IsXmlChar(value) ? Result::Ok : Result::Malformed;
}

// The runtime switches its reading to Latin-1 or back to UTF-8 by the encoding an XML
// declaration names (it looks at the start of every processing instruction); so does the check.
void XmlAnswerCheck::EndPi() {
  if (text_.rfind("xml ", 0) != 0) return;
  auto at = text_.find(" encoding=");
  if (at == std::string::npos || at + 11 > text_.size()) return;
  const char* value = text_.c_str() + at + 11;  // past the opening quote
  if (StartsWithNoCase(value, "iso-8859-") || StartsWithNoCase(value, "latin"))
    latin_ = true;
  else if (StartsWithNoCase(value, "utf-8"))
    latin_ = false;
}

// ---- on the runtime context --------------------------------------------------------------
namespace {

constexpr char kCheckId[] = "vorlen-xml-check";

struct CheckState {
  XmlAnswerCheck check;
  bool started = false;
  int (*next)(struct soap*, const char*, size_t) = nullptr;  // a hook installed before ours
};

CheckState* CheckOf(struct soap* s) { return static_cast<CheckState*>(soap_lookup_plugin(s, kCheckId)); }

int OnReceived(struct soap* s, const char* data, size_t size) {
  CheckState* c = CheckOf(s);
  if (!c) return SOAP_OK;
  if (!c->started) {
    // The mode of this receive tells whether the runtime parses an HTTP header itself.
    c->check.Begin((s->mode & SOAP_ENC_PLAIN) != 0);
    c->started = true;
  }
  switch (c->check.Feed(data, size)) {
    case XmlAnswerCheck::Result::Ok: break;
    case XmlAnswerCheck::Result::Malformed: return SOAP_SYNTAX_ERROR;
    case XmlAnswerCheck::Result::BadEncoding: return SOAP_UTF_ERROR;
  }
  return c->next ? c->next(s, data, size) : SOAP_OK;
}

int RefuseCopy(struct soap*, struct soap_plugin*, struct soap_plugin*) { return SOAP_EOM; }

void Delete(struct soap* s, struct soap_plugin* plugin) {
  auto* c = static_cast<CheckState*>(plugin->data);
  if (s->fpreparerecv == OnReceived) s->fpreparerecv = c->next;
  delete c;
}

int Create(struct soap* s, struct soap_plugin* plugin, void*) {
  auto* c = new (std::nothrow) CheckState;
  if (!c) return SOAP_EOM;
  c->next = s->fpreparerecv;
  s->fpreparerecv = OnReceived;
  plugin->id = kCheckId;
  plugin->data = c;
  plugin->fcopy = RefuseCopy;
  plugin->fdelete = Delete;
  return SOAP_OK;
}

}  // namespace

void InstallXmlAnswerCheck(struct soap* soap) {
  if (soap && !CheckOf(soap)) soap_register_plugin(soap, Create);
}

void BeginXmlAnswerCheck(struct soap* soap) {
  if (CheckState* c = soap ? CheckOf(soap) : nullptr) c->started = false;
}

}  // namespace vorlen
