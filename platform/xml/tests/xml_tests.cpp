// The XML services as the system uses them: parsing with its safety policy, selections,
// transformations, the SAX writer and loading from files and module resources.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/resources/resources.h"
#include "platform/xml/msxml.h"

namespace {

const char kStylesheet[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\"/><xsl:template match=\"/\"><p><xsl:value-of select=\"/a/b\"/></p></xsl:template>"
    "</xsl:stylesheet>";

}  // namespace

// The test program is the application module, holding a stylesheet as a resource.
VANTOR_RESOURCE_MODULE(g_app, L"XmlTests", platform::ModuleKind::Application, {},
                       {{L"XML", L"PAGE", kStylesheet, sizeof kStylesheet - 1}})

namespace {

IXMLDOMDocument2Ptr NewDocument() {
  IXMLDOMDocument2Ptr doc;
  EXPECT_EQ(doc.CreateInstance(__uuidof(DOMDocument40), nullptr, 23), S_OK);
  doc->Putasync(VARIANT_FALSE);
  return doc;
}

IXMLDOMDocument2Ptr Load(const std::wstring& xml) {
  IXMLDOMDocument2Ptr doc = NewDocument();
  EXPECT_EQ(doc->loadXML(xml.c_str()), VARIANT_TRUE) << static_cast<const char*>(doc->GetparseError()->Getreason());
  return doc;
}

std::wstring Reason(const IXMLDOMDocument2Ptr& doc) { return static_cast<const wchar_t*>(doc->GetparseError()->Getreason()); }

std::string TempFile(const std::string& name, const std::string& bytes) {
  const std::string path = "/tmp/vantor-xml-test-" + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(XmlParse, ReadsTheTreeWithNamesTextAndAttributes) {
  IXMLDOMDocument2Ptr doc = Load(
      L"<d:root xmlns:d='urn:d' id='7'>\n  <d:item>  Pierwszy &amp; drugi  </d:item>\n  <note xml:space='preserve'>  </note>\n"
      L"  <![CDATA[<raw>]]>\n</d:root>");
  IXMLDOMElementPtr root = doc->GetdocumentElement();
  ASSERT_TRUE(root);
  EXPECT_EQ(std::wstring(root->GetnodeName()), L"d:root");
  EXPECT_EQ(std::wstring(root->GetbaseName()), L"root");
  EXPECT_EQ(std::wstring(root->Getprefix()), L"d");
  EXPECT_EQ(std::wstring(root->GetnamespaceURI()), L"urn:d");
  EXPECT_EQ(std::wstring(_bstr_t(root->getAttribute(L"id"))), L"7");
  EXPECT_EQ(root->getAttribute(L"missing").vt, VT_NULL);
  EXPECT_EQ(root->Getattributes()->Getlength(), 1);

  // Whitespace-only text between elements is gone, except where xml:space keeps it.
  IXMLDOMNodeListPtr children = root->GetchildNodes();
  ASSERT_EQ(children->Getlength(), 3);
  EXPECT_EQ(children->Getitem(0)->GetnodeType(), NODE_ELEMENT);
  EXPECT_EQ(std::wstring(children->Getitem(0)->Gettext()), L"Pierwszy & drugi");
  EXPECT_EQ(children->Getitem(1)->hasChildNodes(), VARIANT_TRUE);
  EXPECT_EQ(children->Getitem(2)->GetnodeType(), NODE_CDATA_SECTION);
  EXPECT_FALSE(children->Getitem(3));
  IXMLDOMNodePtr text = children->Getitem(0)->GetfirstChild();
  EXPECT_EQ(text->GetnodeType(), NODE_TEXT);
  EXPECT_EQ(std::wstring(text->Gettext()), L"  Pierwszy & drugi  ");
  EXPECT_EQ(std::wstring(text->GetnodeName()), L"#text");
  EXPECT_EQ(std::wstring(doc->GetnodeName()), L"#document");
  EXPECT_EQ(std::wstring(children->Getitem(0)->Getxml()), L"<d:item>  Pierwszy &amp; drugi  </d:item>");
  EXPECT_EQ(std::wstring(root->Getxml()).rfind(L"<d:root xmlns:d=\"urn:d\" id=\"7\"><d:item>", 0), 0u);

  // A node keeps its tree when the document loads another.
  EXPECT_EQ(doc->loadXML(L"<other/>"), VARIANT_TRUE);
  EXPECT_EQ(std::wstring(children->Getitem(0)->Gettext()), L"Pierwszy & drugi");
  EXPECT_EQ(std::wstring(doc->GetdocumentElement()->GetnodeName()), L"other");
}

TEST(XmlParse, FailureLeavesAnEmptyDocumentWithTheReason) {
  IXMLDOMDocument2Ptr doc = Load(L"<a/>");
  EXPECT_EQ(doc->loadXML(L"<a><b></a>"), VARIANT_FALSE);
  EXPECT_FALSE(doc->GetdocumentElement());
  EXPECT_NE(doc->GetparseError()->GeterrorCode(), 0);
  EXPECT_EQ(doc->GetparseError()->Getline(), 1);
  EXPECT_FALSE(Reason(doc).empty());
  EXPECT_EQ(doc->loadXML(L""), VARIANT_FALSE);
  EXPECT_EQ(doc->GetreadyState(), 4);
  EXPECT_EQ(doc->loadXML(L"<ok/>"), VARIANT_TRUE);
  EXPECT_EQ(doc->GetparseError()->GeterrorCode(), 0);
}

TEST(XmlParse, WideTextIgnoresTheDeclaredEncoding) {
  IXMLDOMDocument2Ptr a = Load(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>zażółć</a>");
  EXPECT_EQ(std::wstring(a->GetdocumentElement()->Gettext()), L"zażółć");
  IXMLDOMDocument2Ptr b = Load(L"<?xml version=\"1.0\" encoding=\"windows-1250\"?><a>Łódź</a>");
  EXPECT_EQ(std::wstring(b->GetdocumentElement()->Gettext()), L"Łódź");
}

TEST(XmlParse, RefusesEntitiesDeepNestingAndKeepsLargeText) {
  IXMLDOMDocument2Ptr doc = NewDocument();
  EXPECT_EQ(doc->loadXML(L"<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>"), VARIANT_FALSE);
  EXPECT_NE(Reason(doc).find(L"entity"), std::wstring::npos) << Reason(doc);

  std::wstring bomb = L"<!DOCTYPE z [<!ENTITY a \"aaaaaaaaaa\">";
  for (int i = 1; i < 8; ++i) {
    bomb += L"<!ENTITY a" + std::to_wstring(i) + L" \"";
    for (int k = 0; k < 10; ++k) bomb += i == 1 ? L"&a;" : L"&a" + std::to_wstring(i - 1) + L";";
    bomb += L"\">";
  }
  bomb += L"]><z>&a7;</z>";
  EXPECT_EQ(doc->loadXML(bomb.c_str()), VARIANT_FALSE);
  EXPECT_EQ(doc->loadXML(L"<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/a.dtd\"><a>x</a>"), VARIANT_TRUE);

  auto nested = [](int depth) {
    std::wstring text;
    for (int i = 0; i < depth; ++i) text += L"<e>";
    for (int i = 0; i < depth; ++i) text += L"</e>";
    return text;
  };
  EXPECT_EQ(doc->loadXML(nested(256).c_str()), VARIANT_TRUE);
  EXPECT_EQ(doc->loadXML(nested(257).c_str()), VARIANT_FALSE);
  EXPECT_NE(Reason(doc).find(L"256"), std::wstring::npos);
  EXPECT_EQ(doc->loadXML(nested(100000).c_str()), VARIANT_FALSE);

  const std::wstring big(10u << 20, L'x');
  EXPECT_EQ(doc->loadXML((L"<a>" + big + L"</a>").c_str()), VARIANT_TRUE) << Reason(doc);
  EXPECT_EQ(doc->GetdocumentElement()->Gettext().length(), big.size());
}

TEST(XmlLoad, FilesResourcesAndRefusedAddresses) {
  IXMLDOMDocument2Ptr doc = NewDocument();
  doc->Putasync(VARIANT_TRUE);
  const std::string path = TempFile("cp1250.xml", "<?xml version=\"1.0\" encoding=\"windows-1250\"?><a>\xa3\xf3" "d\x9f</a>");
  EXPECT_EQ(doc->load(_variant_t(path.c_str())), VARIANT_TRUE) << static_cast<const char*>(doc->GetparseError()->Getreason());
  EXPECT_EQ(doc->GetreadyState(), 4);
  EXPECT_EQ(std::wstring(doc->GetdocumentElement()->Gettext()), L"Łódź");
  EXPECT_EQ(doc->load(_variant_t(("file://" + path).c_str())), VARIANT_TRUE);
  std::remove(path.c_str());
  EXPECT_EQ(doc->load(_variant_t(path.c_str())), VARIANT_FALSE);
  EXPECT_FALSE(doc->GetdocumentElement());

  wchar_t exe[4096];
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, 4096), 0u);
  const std::wstring res = L"res://" + std::wstring(exe) + L"/XML/PAGE";
  EXPECT_EQ(doc->load(_variant_t(res.c_str())), VARIANT_TRUE);
  EXPECT_EQ(std::wstring(doc->GetdocumentElement()->GetbaseName()), L"stylesheet");
  EXPECT_EQ(doc->load(_variant_t((L"res://" + std::wstring(exe) + L"/XML/MISSING").c_str())), VARIANT_FALSE);
  EXPECT_NE(Reason(doc).find(L"resource"), std::wstring::npos);
  EXPECT_EQ(doc->load(_variant_t(L"http://127.0.0.1:1/a.xml")), VARIANT_FALSE);
  EXPECT_EQ(doc->GetreadyState(), 4);
}

TEST(XmlSelect, XPathWithSelectionNamespaces) {
  IXMLDOMDocument2Ptr doc = Load(L"<d:s xmlns:d='urn:def'><d:p idx='2'>b</d:p><x/><d:p idx='1'>a</d:p><d:sql>S</d:sql></d:s>");
  EXPECT_EQ(doc->setProperty(L"SelectionLanguage", L"XPath"), S_OK);
  EXPECT_EQ(doc->setProperty(L"SelectionNamespaces", L"xmlns:def='urn:def'  xmlns:o=\"urn:other\""), S_OK);
  EXPECT_EQ(std::wstring(_bstr_t(doc->getProperty(L"SelectionNamespaces"))), L"xmlns:def='urn:def'  xmlns:o=\"urn:other\"");
  IXMLDOMNodePtr schema = doc->selectSingleNode(L"def:s");
  ASSERT_TRUE(schema);
  IXMLDOMNodeListPtr params = schema->selectNodes(L"def:p");
  ASSERT_EQ(params->Getlength(), 2);
  EXPECT_EQ(std::wstring(params->nextNode()->Gettext()), L"b");
  EXPECT_EQ(std::wstring(params->nextNode()->Gettext()), L"a");
  EXPECT_FALSE(params->nextNode());
  EXPECT_EQ(std::wstring(schema->selectSingleNode(L"def:sql")->Gettext()), L"S");
  EXPECT_FALSE(schema->selectSingleNode(L"def:none"));
  EXPECT_EQ(schema->selectNodes(L"def:p[@idx='1']")->Getlength(), 1);
  EXPECT_EQ(std::wstring(schema->selectSingleNode(L"def:p/@idx")->Gettext()), L"2");

  IXMLDOMNodeList* raw = nullptr;
  EXPECT_EQ(schema->raw_selectNodes(_bstr_t(L"def:p[["), &raw), E_FAIL);
  EXPECT_EQ(schema->raw_selectNodes(_bstr_t(L"count(def:p)"), &raw), E_FAIL);
  EXPECT_EQ(schema->raw_selectNodes(_bstr_t(L"nope:p"), &raw), E_FAIL);
  EXPECT_EQ(raw, nullptr);
  try {
    schema->selectNodes(L"count(def:p)");
    ADD_FAILURE() << "a number is not a node list";
  } catch (const _com_error& e) {
    EXPECT_NE(std::wstring(e.Description()).find(L"does not select nodes"), std::wstring::npos);
  }
  EXPECT_EQ(doc->raw_setProperty(_bstr_t(L"SelectionLanguage"), _variant_t(L"XSLPattern")), E_INVALIDARG);
  EXPECT_EQ(doc->raw_setProperty(_bstr_t(L"SelectionNamespaces"), _variant_t(L"def='urn:def'")), E_INVALIDARG);
}

TEST(XmlTransform, OutputMethodsAndEncodings) {
  IXMLDOMDocument2Ptr data = Load(L"<a><b>Żółw &amp; co</b></a>");
  IXMLDOMDocument2Ptr html = Load(std::wstring(_bstr_t(kStylesheet)));
  const std::wstring page = static_cast<const wchar_t*>(data->transformNode(html));
  EXPECT_NE(page.find(L"<p>Żółw &amp; co</p>"), std::wstring::npos) << page;

  // The stylesheet's own encoding changes nothing in the text; an xml result loads back.
  IXMLDOMDocument2Ptr xml = Load(
      L"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      L"<xsl:output method='xml' encoding='windows-1250'/>"
      L"<xsl:template match='/'><r><xsl:value-of select='/a/b'/></r></xsl:template></xsl:stylesheet>");
  const std::wstring result = static_cast<const wchar_t*>(data->transformNode(xml));
  EXPECT_EQ(result.rfind(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", 0), 0u) << result;
  EXPECT_NE(result.find(L"<r>Żółw &amp; co</r>"), std::wstring::npos);
  EXPECT_EQ(NewDocument()->loadXML(result.c_str()), VARIANT_TRUE);

  // An element is transformed as a document of its own.
  IXMLDOMNodePtr b = data->selectSingleNode(L"a/b");
  const std::wstring part = static_cast<const wchar_t*>(b->transformNode(xml));
  EXPECT_NE(part.find(L"<r/>"), std::wstring::npos) << part;
}

TEST(XmlTransform, BadAndHostileStylesheetsFailCleanly) {
  IXMLDOMDocument2Ptr data = Load(L"<a/>");
  const std::string secret = TempFile("secret.xml", "<s>secret</s>");
  const std::wstring wsecret = std::wstring(_bstr_t(secret.c_str()));
  auto transform = [&](const std::wstring& sheet, std::wstring& out) {
    IXMLDOMDocument2Ptr style = Load(sheet);
    BSTR text = nullptr;
    HRESULT hr = data->raw_transformNode(style, &text);
    out = text ? text : L"";
    SysFreeString(text);
    return hr;
  };
  const std::wstring head = L"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>";
  std::wstring out;
  EXPECT_EQ(transform(L"<notxslt/>", out), E_FAIL);
  EXPECT_EQ(transform(head + L"<xsl:template match='/'><xsl:value-of select='document(\"" + wsecret +
                                L"\")'/></xsl:template></xsl:stylesheet>",
                      out),
            E_FAIL);
  EXPECT_EQ(out.find(L"secret"), std::wstring::npos) << out;
  EXPECT_EQ(transform(head + L"<xsl:include href='" + wsecret + L"'/></xsl:stylesheet>", out), E_FAIL);
  const std::string written = "/tmp/vantor-xml-test-" + std::to_string(::getpid()) + "-written.xml";
  transform(head + L"<xsl:template match='/'><xsl:document href='" + std::wstring(_bstr_t(written.c_str())) +
                L"'><x/></xsl:document></xsl:template></xsl:stylesheet>",
            out);
  EXPECT_FALSE(std::ifstream(written).good());
  std::remove(written.c_str());
  std::remove(secret.c_str());
  EXPECT_EQ(transform(head + L"<xsl:template match='/'><xsl:call-template name='loop'/></xsl:template>"
                             L"<xsl:template name='loop'><x><xsl:call-template name='loop'/></x></xsl:template>"
                             L"</xsl:stylesheet>",
                      out),
            E_FAIL);
}

TEST(XmlWriter, WritesIndentedEscapedXmlThatLoadsBack) {
  IMXWriterPtr writer;
  ASSERT_EQ(writer.CreateInstance(__uuidof(MXXMLWriter40), nullptr, 23), S_OK);
  IMXAttributesPtr attributes;
  ASSERT_EQ(attributes.CreateInstance(__uuidof(SAXAttributes40), nullptr, 23), S_OK);
  IVBSAXAttributesPtr view(attributes);
  IVBSAXContentHandlerPtr handler(writer);
  writer->Putindent(VARIANT_TRUE);
  writer->Putoutput(_variant_t(L""));
  _bstr_t empty(L""), root(L"root"), item(L"item"), none(L"none");
  handler->startDocument();
  attributes->addAttribute(L"", L"", L"id", L"", L"1 \"<&>\"");
  EXPECT_EQ(view->Getlength(), 1);
  EXPECT_EQ(std::wstring(view->getValueFromQName(L"id")), L"1 \"<&>\"");
  handler->startElement(&empty.GetBSTR(), &root.GetBSTR(), &root.GetBSTR(), view);
  attributes->clear();
  handler->startElement(&empty.GetBSTR(), &item.GetBSTR(), &item.GetBSTR(), view);
  _bstr_t chars(L"a < b & \"c\" > d");
  handler->characters(&chars.GetBSTR());
  handler->endElement(&empty.GetBSTR(), &item.GetBSTR(), &item.GetBSTR());
  handler->startElement(&empty.GetBSTR(), &none.GetBSTR(), &none.GetBSTR(), view);
  handler->endElement(&empty.GetBSTR(), &none.GetBSTR(), &none.GetBSTR());
  handler->endElement(&empty.GetBSTR(), &root.GetBSTR(), &root.GetBSTR());
  handler->endDocument();
  const std::wstring out = static_cast<const wchar_t*>(_bstr_t(writer->Getoutput()));
  EXPECT_EQ(out,
            L"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\"?>\r\n"
            L"<root id=\"1 &quot;&lt;&amp;&gt;&quot;\">\r\n\t<item>a &lt; b &amp; \"c\" &gt; d</item>\r\n\t<none/>\r\n</root>");
  IXMLDOMDocument2Ptr back = Load(out);
  EXPECT_EQ(std::wstring(_bstr_t(back->GetdocumentElement()->getAttribute(L"id"))), L"1 \"<&>\"");
  EXPECT_EQ(std::wstring(back->selectSingleNode(L"root/item")->Gettext()), L"a < b & \"c\" > d");

  // Names that would break the output are refused; a new output starts empty.
  writer->Putoutput(_variant_t(L""));
  _bstr_t bad(L"1st"), blank(L"");
  EXPECT_EQ(handler->raw_startElement(&empty.GetBSTR(), &bad.GetBSTR(), &bad.GetBSTR(), view), E_INVALIDARG);
  EXPECT_EQ(handler->raw_startElement(&empty.GetBSTR(), &blank.GetBSTR(), &blank.GetBSTR(), view), E_INVALIDARG);
  attributes->addAttribute(L"", L"", L"x", L"", L"1");
  attributes->addAttribute(L"", L"", L"x", L"", L"2");
  EXPECT_EQ(handler->raw_startElement(&empty.GetBSTR(), &item.GetBSTR(), &item.GetBSTR(), view), E_INVALIDARG);
  EXPECT_EQ(handler->raw_endElement(&empty.GetBSTR(), &item.GetBSTR(), &item.GetBSTR()), E_INVALIDARG);
  EXPECT_EQ(std::wstring(_bstr_t(writer->Getoutput())), L"");
  EXPECT_EQ(writer->raw_flush(), S_OK);
  EXPECT_EQ(writer->put_output(_variant_t(LONG{5})), E_INVALIDARG);

  // Texts longer than one piece of the writer's memory, written again after a new output and by
  // a new writer (which take the memory the texts before used), come out whole and alone.
  for (int round = 0; round < 3; ++round) {
    if (round == 2) {
      writer = nullptr;
      ASSERT_EQ(writer.CreateInstance(__uuidof(MXXMLWriter40), nullptr, 23), S_OK);
      handler = writer;
    }
    writer->Putoutput(_variant_t(L""));
    const std::wstring text(300000 + 1000 * round, static_cast<wchar_t>(L'a' + round));
    _bstr_t long_(text.c_str());
    handler->startElement(&empty.GetBSTR(), &item.GetBSTR(), &item.GetBSTR(), nullptr);
    handler->characters(&long_.GetBSTR());
    handler->endElement(&empty.GetBSTR(), &item.GetBSTR(), &item.GetBSTR());
    EXPECT_EQ(std::wstring(_bstr_t(writer->Getoutput())), L"<item>" + text + L"</item>") << round;
  }
}

}  // namespace
