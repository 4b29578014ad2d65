// The answer check on its own: byte splits, the header skip and the encoding switch.
#include <gtest/gtest.h>

#include <string>

#include "zone/protocol/XmlAnswerCheck.h"

using vorlen::XmlAnswerCheck;
using Result = XmlAnswerCheck::Result;

namespace {

// Feeds `text` whole, and again cut at every position into two buffers: the result must not
// depend on where the runtime's buffers end.
Result Check(const std::string& text, bool bodyOnly = true) {
  XmlAnswerCheck whole;
  whole.Begin(bodyOnly);
  Result expected = whole.Feed(text.data(), text.size());
  for (size_t cut = 1; cut < text.size(); ++cut) {
    XmlAnswerCheck split;
    split.Begin(bodyOnly);
    split.Feed(text.data(), cut);
    EXPECT_EQ(split.Feed(text.data() + cut, text.size() - cut), expected) << "cut at " << cut;
  }
  return expected;
}

}  // namespace

TEST(XmlAnswerCheck, ReferencesAndCharactersWhereverTheBuffersEnd) {
  EXPECT_EQ(Check("<a x=\"&amp;&#x41;\">&lt;&#233;&#65536;\xC5\xBC\xF0\x9F\x98\x80</a>"), Result::Ok);
  EXPECT_EQ(Check("<a>&foo;</a>"), Result::Malformed);
  EXPECT_EQ(Check("<a x=\"&foo;\"/>"), Result::Malformed);
  EXPECT_EQ(Check("<a>&#65</a>"), Result::Malformed);
  // The runtime would read "&#x10000;" as U+10000 followed by a stray ";".
  EXPECT_EQ(Check("<a>&#x10000;</a>"), Result::Malformed);
  EXPECT_EQ(Check("<a>&#x7;</a>"), Result::Malformed);
  EXPECT_EQ(Check("<a>&#xFFFE;</a>"), Result::Malformed);
  EXPECT_EQ(Check("<a>\xE2\x82\xAC</a>"), Result::Ok);
  EXPECT_EQ(Check("<a>\xE2\x82</a>"), Result::BadEncoding);
  EXPECT_EQ(Check("<a>\x80</a>"), Result::BadEncoding);
  EXPECT_EQ(Check("<a>\xF8\x88\x80\x80\x80</a>"), Result::BadEncoding);
  EXPECT_EQ(Check("<a>\x00</a>" + std::string(1, '\0')), Result::Malformed);
}

TEST(XmlAnswerCheck, MarkupOtherThanElementsCommentsCdataAndInstructions) {
  EXPECT_EQ(Check("\xEF\xBB\xBF \r\n<?xml version=\"1.0\"?><!-- a & b --><a><![CDATA[&x; <]]></a>"), Result::Ok);
  EXPECT_EQ(Check("<!DOCTYPE a><a/>"), Result::Malformed);
  EXPECT_EQ(Check("<a><!ELEMENT a ANY></a>"), Result::Malformed);
  EXPECT_EQ(Check("<a><!-x--></a>"), Result::Malformed);
  EXPECT_EQ(Check("<a><![CDAT[x]]></a>"), Result::Malformed);
  EXPECT_EQ(Check("x<a/>"), Result::Malformed);
  EXPECT_EQ(Check(" \xEF\xBB\xBF<a/>"), Result::Malformed);  // a byte-order mark only comes first
  EXPECT_EQ(Check("<?xml version=\"1.0\"?>x<a/>"), Result::Malformed);
}

TEST(XmlAnswerCheck, TheRuntimesOwnHeaderIsPassedOver) {
  const std::string header = "HTTP/1.1 200 OK\r\nX-Odd: \xFF&bad;\r\n\r\n";
  EXPECT_EQ(Check(header + "<a>&amp;</a>", false), Result::Ok);
  EXPECT_EQ(Check(header + "<a>&amp;</a>", true), Result::Malformed);
  EXPECT_EQ(Check(header + "<a>&bad;</a>", false), Result::Malformed);
}

TEST(XmlAnswerCheck, ALatinDeclarationMakesEveryByteACharacter) {
  EXPECT_EQ(Check("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9\xFF</a>"), Result::Ok);
  EXPECT_EQ(Check("<?xml version='1.0' encoding='latin2'?><a>\xE9</a>"), Result::Ok);
  EXPECT_EQ(Check("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE9</a>"), Result::BadEncoding);
  EXPECT_EQ(Check("<?xml-stylesheet encoding=\"ISO-8859-1\"?><a>\xE9</a>"), Result::BadEncoding);
  // Control characters stay refused whatever the encoding.
  EXPECT_EQ(Check("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\x01</a>"), Result::Malformed);
  // A result sticks until the next answer.
  XmlAnswerCheck c;
  c.Begin(true);
  EXPECT_EQ(c.Feed("<a>&x;", 6), Result::Malformed);
  EXPECT_EQ(c.Feed("</a>", 4), Result::Malformed);
  c.Begin(true);
  EXPECT_EQ(c.Feed("<a/>", 4), Result::Ok);
}
