#pragma once
// The check that every answer passes on its way into the SOAP runtime, byte by byte as the
// runtime receives it: an answer is well-formed text or it is refused, never read on with its
// text altered.
//
// The runtime, left to itself, reads an undefined entity ("&foo;", or one an internal DTD
// would define) as byte 0x7F, cuts a string at "&#0;", re-reads invalid UTF-8 as Latin-1 and
// passes surrogates and code points above U+10FFFF into strings. Refused here:
// - bytes that are not UTF-8 (stray or missing continuation bytes, overlong forms, surrogates,
//   code points above U+10FFFF), unless the XML declaration names a Latin-1 encoding (the
//   runtime then reads every byte as a character);
// - characters XML does not allow (control characters other than tab, line feed and carriage
//   return; U+FFFE and U+FFFF), raw or as character references;
// - references other than the five predefined entities and decimal or hexadecimal character
//   references the runtime reads in full (at most six characters between '&' and ';');
// - document type declarations (which a SOAP message never carries) and any other "<!"
//   construct but comments and CDATA sections;
// - text before the first markup of a body (blanks and a byte-order mark aside).
// Comments, CDATA sections and processing instructions are checked for their encoding only.
#include <cstddef>
#include <cstdint>
#include <string>

struct soap;

namespace vorlen {

class XmlAnswerCheck {
 public:
  enum class Result { Ok, Malformed, BadEncoding };

  // Starts a new answer. `bodyOnly`: the first byte fed is the body's first byte (the transport
  // plug-in hands the runtime the body alone); otherwise the runtime reads the HTTP header
  // itself and everything up to the first '<' is passed over.
  void Begin(bool bodyOnly);
  // The next bytes of the answer; once a result is not Ok, it stays so until Begin.
  Result Feed(const char* data, size_t size);

 private:
  enum class State : uint8_t {
    SkipToMarkup, Prolog, Content, AfterLt, AfterBang, Declaration, Comment, CData, Pi, Reference,
  };
  Result Char(uint32_t c);
  Result EndReference();
  void EndPi();

  State state_ = State::Prolog;
  Result result_ = Result::Ok;
  bool latin_ = false;     // the XML declaration named a Latin-1 encoding
  bool elementSeen_ = false;
  bool first_ = true;      // the next character is the body's first
  // UTF-8 sequence being read.
  uint32_t code_ = 0;
  int pending_ = 0;
  unsigned char low_ = 0x80, high_ = 0xBF;
  // Markup being matched.
  const char* expected_ = nullptr;  // the rest of "--" or "[CDATA[" after "<!"
  bool cdata_ = false;
  int run_ = 0;                     // '-' or ']' seen in a row, or '?' just seen
  std::string text_;                // the reference's name, or the start of a processing instruction
};

// Puts the check on a runtime context: every buffer the runtime receives passes it, and a
// refused answer fails with the runtime's syntax-error status (the classic 5). Installed once
// per context (again is a no-op). BeginXmlAnswerCheck starts the next answer.
void InstallXmlAnswerCheck(struct soap* soap);
void BeginXmlAnswerCheck(struct soap* soap);

}  // namespace vorlen
