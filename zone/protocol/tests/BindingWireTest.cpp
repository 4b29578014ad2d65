// The binding against canned answers: wire shapes a well-behaved service never sends, and
// the shape of the requests the binding writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "testing/zone_service/RawResponder.h"
#include "zone/protocol/SoapStatus.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/protocol/transport.h"
#include "zone/protocol/tests/Values.h"

using namespace vorlen::test;
namespace st = vorlen::soapstatus;

namespace {

class WireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    url = responder.Url();
    binding.endpoint = url.c_str();
    soap_set_imode(binding.soap, SOAP_C_UTFSTRING);
    soap_set_omode(binding.soap, SOAP_C_UTFSTRING | SOAP_XML_TREE);
    binding.soap->recv_timeout = binding.soap->send_timeout = binding.soap->connect_timeout = 5;
    // The path the system uses: the runtime over the transport plug-in.
    ASSERT_EQ(vorlen::transport::Register(binding.soap), 0);
  }
  ss__RegisteredServiceUserInfo* Me() { return User(binding.soap, 1000, "REG-1000"); }
  int GetConfig(ss__getPageConfigResponse& r) { return binding.getPageConfig(Me(), r); }
  int GetChanges(ss__getPageChangesInfoResponse& r) { return binding.getPageChangesInfo(Me(), nullptr, 0, r); }
  int SetItems() {
    ss__setItemDataResponse r;
    return binding.setItemData(Me(), 5, Items(binding.soap, {}), r);
  }
  // The detail is a UserIsNotPageOwnerFault for that page and user.
  void ExpectNotPageOwner(int pageId, LONG64 userId) {
    auto* owner = dynamic_cast<ss__UserIsNotPageOwnerFault*>(binding.DetailFault());
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->pageId, pageId);
    ASSERT_NE(owner->userInfo, nullptr);
    EXPECT_EQ(owner->userInfo->serviceUserId, userId);
  }
  static std::string Fault(const std::string& code, const std::string& text, const std::string& detail = "") {
    return "<SOAP-ENV:Fault><faultcode>" + code + "</faultcode><faultstring>" + text + "</faultstring>" +
           (detail.empty() ? "" : "<detail>" + detail + "</detail>") + "</SOAP-ENV:Fault>";
  }

  zone_service::RawResponder responder;
  std::string url;
  StatusServiceBinding binding;
};

// ---- return parts --------------------------------------------------------------------
TEST_F(WireTest, ReturnPartIsReadWhateverItsNameAndLaterChildrenAreSkipped) {
  responder.PushEnvelope(
      "<ss:getPageConfigResponse><renamedReturn><statusesEnabled>true</statusesEnabled>"
      "<sellerUrl>http://a.example/</sellerUrl></renamedReturn><extra>1</extra></ss:getPageConfigResponse>");
  ss__getPageConfigResponse r;
  ASSERT_EQ(GetConfig(r), 0);
  ASSERT_NE(r.getPageConfigReturn, nullptr);
  EXPECT_TRUE(r.getPageConfigReturn->statusesEnabled);
  EXPECT_STREQ(r.getPageConfigReturn->sellerUrl, "http://a.example/");
  EXPECT_EQ(r.getPageConfigReturn->sellerShortDescription, nullptr);
}

TEST_F(WireTest, ReturnPartGivenAsHrefToALaterMultiRefElement) {
  responder.PushEnvelope(
      "<ss:getPageConfigResponse><getPageConfigReturn href=\"#id0\"/></ss:getPageConfigResponse>"
      "<multiRef id=\"id0\" xsi:type=\"ss:PageConfigInfo\"><allowBillingAddressEntry>true</allowBillingAddressEntry>"
      "<sellerShortDescription href=\"#id1\"/></multiRef>"
      "<multiRef id=\"id1\" xsi:type=\"xsd:string\">Opis</multiRef>");
  ss__getPageConfigResponse r;
  ASSERT_EQ(GetConfig(r), 0);
  ASSERT_NE(r.getPageConfigReturn, nullptr);
  EXPECT_TRUE(r.getPageConfigReturn->allowBillingAddressEntry);
  ASSERT_NE(r.getPageConfigReturn->sellerShortDescription, nullptr);
  EXPECT_STREQ(*r.getPageConfigReturn->sellerShortDescription, "Opis");
}

TEST_F(WireTest, SetOperationAcceptsAResponseWithUnexpectedChildren) {
  responder.PushEnvelope("<ss:setItemDataResponse><note>ok</note><count xsi:type=\"xsd:int\">3</count>"
                         "</ss:setItemDataResponse>");
  EXPECT_EQ(SetItems(), 0);
}

TEST_F(WireTest, AnswerThatIsNeitherResponseNorFaultIsATagMismatch) {
  responder.PushEnvelope("<ss:somethingElse><a>1</a></ss:somethingElse>");
  EXPECT_EQ(SetItems(), st::kTagMismatch);
}

// ---- member types and arrays -------------------------------------------------------------
TEST_F(WireTest, MemberTypesAreCheckedAgainstTheirDeclaration) {
  const std::string page = "<ss:getPageChangesInfoResponse><r xsi:type=\"SOAP-ENC:Array\" "
                           "SOAP-ENC:arrayType=\"ss:StatusPageInfo[1]\"><item>";
  const std::string end = "</item></r></ss:getPageChangesInfoResponse>";
  responder.PushEnvelope(page + "<pageId xsi:type=\"xsd:int\">41</pageId>" + end);
  responder.PushEnvelope(page + "<pageId xsi:type=\"xsd:short\">42</pageId>" + end);
  responder.PushEnvelope(page + "<pageId xsi:type=\"xsd:string\">43</pageId>" + end);
  responder.PushEnvelope(page + "<pageUrlPart xsi:type=\"ns9:anything\">u</pageUrlPart>" + end);
  ss__getPageChangesInfoResponse r;
  ASSERT_EQ(GetChanges(r), 0);
  EXPECT_EQ(r.getPageChangesInfoReturn->__ptr[0]->pageId, 41);
  ASSERT_EQ(GetChanges(r), 0);
  EXPECT_EQ(r.getPageChangesInfoReturn->__ptr[0]->pageId, 42);
  EXPECT_EQ(GetChanges(r), st::kType);
  ASSERT_EQ(GetChanges(r), 0) << "text members accept any xsi:type";
  EXPECT_EQ(r.getPageChangesInfoReturn->__ptr[0]->pageId, 0) << "a missing pageId reads as page 0";
  EXPECT_STREQ(*r.getPageChangesInfoReturn->__ptr[0]->pageUrlPart, "u");
}

TEST_F(WireTest, MembersComeInAnyOrderAndStrayElementsFollowTheSkipRules) {
  const std::string open = "<ss:getPageConfigResponse><r>";
  const std::string close = "</r></ss:getPageConfigResponse>";
  responder.PushEnvelope(open + "<sellerUrl>first</sellerUrl><statusesEnabled>true</statusesEnabled>"
                                "<sellerUrl>second</sellerUrl><unknown><deep>1</deep></unknown>" + close);
  responder.PushEnvelope(open + "<ss:extra SOAP-ENV:mustUnderstand=\"1\">x</ss:extra>" + close);
  responder.PushEnvelope(open + "<SOAP-ENV:Fault/>" + close);
  ss__getPageConfigResponse r;
  ASSERT_EQ(GetConfig(r), 0);
  EXPECT_TRUE(r.getPageConfigReturn->statusesEnabled);
  EXPECT_STREQ(r.getPageConfigReturn->sellerUrl, "first") << "each member is taken once";
  EXPECT_EQ(GetConfig(r), st::kMustUnderstand);
  EXPECT_EQ(GetConfig(r), st::kTagMismatch);
}

TEST_F(WireTest, Soap12EnvelopeAndFaultAreAccepted) {
  const std::string env = "http://www.w3.org/2003/05/soap-envelope";
  responder.PushHttp("<env:Envelope xmlns:env=\"" + env +
                     "\" xmlns:ss=\"http://www.kordel.pl/webservices/StatusService\"><env:Body>"
                     "<ss:getPageConfigResponse><r><statusesEnabled>true</statusesEnabled></r>"
                     "</ss:getPageConfigResponse></env:Body></env:Envelope>");
  responder.PushHttp("<env:Envelope xmlns:env=\"" + env +
                         "\"><env:Body><env:Fault><env:Code><env:Value>env:Receiver</env:Value></env:Code>"
                         "<env:Reason><env:Text xml:lang=\"en\">down</env:Text></env:Reason></env:Fault>"
                         "</env:Body></env:Envelope>",
                     500);
  ss__getPageConfigResponse r;
  ASSERT_EQ(GetConfig(r), 0);
  EXPECT_TRUE(r.getPageConfigReturn->statusesEnabled);
  EXPECT_EQ(GetConfig(r), st::kServerFault) << (binding.FaultCode() ? binding.FaultCode() : "(none)");
  ASSERT_NE(binding.FaultString(), nullptr);
  EXPECT_STREQ(binding.FaultString(), "down");
}

TEST_F(WireTest, ArrayWithAnotherDeclaredItemTypeIsRefused) {
  const std::string items = "<item><pageId>1</pageId></item><item><pageId>2</pageId></item>";
  auto answer = [&](const std::string& attrs) {
    return "<ss:getPageChangesInfoResponse><r xsi:type=\"SOAP-ENC:Array\"" + attrs + ">" + items +
           "</r></ss:getPageChangesInfoResponse>";
  };
  responder.PushEnvelope(answer(" SOAP-ENC:arrayType=\"ss:ItemInfo[2]\""));
  responder.PushEnvelope(answer(""));
  responder.PushEnvelope(answer(" SOAP-ENC:arrayType=\"xsd:anyType[2]\""));
  ss__getPageChangesInfoResponse r;
  EXPECT_EQ(GetChanges(r), st::kType);
  ASSERT_EQ(GetChanges(r), 0);
  ASSERT_EQ(r.getPageChangesInfoReturn->__size, 2);
  EXPECT_EQ(r.getPageChangesInfoReturn->__ptr[1]->pageId, 2);
  ASSERT_EQ(GetChanges(r), 0);
  EXPECT_EQ(r.getPageChangesInfoReturn->__size, 2);
}

TEST_F(WireTest, ArrayItemsGoToTheirPositions) {
  responder.PushEnvelope(
      "<ss:getPageChangesInfoResponse><r xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"ss:StatusPageInfo[3]\">"
      "<x SOAP-ENC:position=\"[2]\"><pageId>7</pageId></x></r></ss:getPageChangesInfoResponse>");
  responder.PushEnvelope(
      "<ss:getPageChangesInfoResponse><r xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"ss:StatusPageInfo[3]\">"
      "<x SOAP-ENC:position=\"[3]\"><pageId>7</pageId></x></r></ss:getPageChangesInfoResponse>");
  ss__getPageChangesInfoResponse r;
  ASSERT_EQ(GetChanges(r), 0);
  ASSERT_EQ(r.getPageChangesInfoReturn->__size, 3);
  EXPECT_EQ(r.getPageChangesInfoReturn->__ptr[0], nullptr);
  ASSERT_NE(r.getPageChangesInfoReturn->__ptr[2], nullptr);
  EXPECT_EQ(r.getPageChangesInfoReturn->__ptr[2]->pageId, 7);
  EXPECT_EQ(GetChanges(r), st::kIndexOutOfBounds) << "a position outside the declared size fails the answer";
}

TEST_F(WireTest, LongUrlsAndZonedDatesAreReadInFull) {
  std::string url(400, 'u');
  responder.PushEnvelope("<ss:getPageConfigResponse><r><sellerUrl>" + url + "</sellerUrl></r></ss:getPageConfigResponse>");
  ss__getPageConfigResponse cfg;
  ASSERT_EQ(GetConfig(cfg), 0);
  EXPECT_EQ(std::strlen(cfg.getPageConfigReturn->sellerUrl), 400u);

  responder.PushEnvelope(
      "<ss:getPageChangesInfoResponse><r xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"ss:StatusPageInfo[3]\">"
      "<item><lastBuyerDataEntryDate>2024-03-01T12:00:00+01:00</lastBuyerDataEntryDate></item>"
      "<item><lastBuyerDataEntryDate>20240301T110000Z</lastBuyerDataEntryDate></item>"
      "<item><lastBuyerDataEntryDate xsi:type=\"q:dateTime\" xmlns:q=\"urn:x\">2024-03-01T11:00:00Z"
      "</lastBuyerDataEntryDate></item></r></ss:getPageChangesInfoResponse>");
  ss__getPageChangesInfoResponse r;
  ASSERT_EQ(GetChanges(r), 0);
  EXPECT_EQ(*r.getPageChangesInfoReturn->__ptr[0]->lastBuyerDataEntryDate, 1709290800);
  EXPECT_EQ(*r.getPageChangesInfoReturn->__ptr[1]->lastBuyerDataEntryDate, 1709290800);
  EXPECT_EQ(*r.getPageChangesInfoReturn->__ptr[2]->lastBuyerDataEntryDate, 1709290800);
}

// ---- faults --------------------------------------------------------------------------------
TEST_F(WireTest, FaultCodesGiveTheirStatuses) {
  const std::pair<std::string, int> cases[] = {
      {"SOAP-ENV:Server", st::kServerFault},
      {"SOAP-ENV:Client", st::kClientFault},
      {"SOAP-ENV:MustUnderstand", st::kMustUnderstand},
      {"SOAP-ENV:VersionMismatch", st::kVersionMismatch},
      {"SOAP-ENV:Server.userException", st::kFault},
      {"ns1:Server", st::kFault},
      {"soapenv:Server", st::kServerFault},
  };
  for (const auto& [code, status] : cases) {
    SCOPED_TRACE(code);
    std::string ns = code.rfind("ns1:", 0) == 0       ? " xmlns:ns1=\"urn:other\""
                     : code.rfind("soapenv:", 0) == 0 ? " xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\""
                                                      : "";
    responder.PushEnvelope("<SOAP-ENV:Fault" + ns + "><faultcode>" + code +
                               "</faultcode><faultstring>boom</faultstring></SOAP-ENV:Fault>",
                           500);
    ss__getPageConfigResponse r;
    EXPECT_EQ(GetConfig(r), status) << (binding.FaultCode() ? binding.FaultCode() : "(none)");
    EXPECT_EQ(r.getPageConfigReturn, nullptr);
    ASSERT_NE(binding.FaultString(), nullptr);
    EXPECT_STREQ(binding.FaultString(), "boom");
    EXPECT_EQ(binding.DetailFault(), nullptr);
  }
}

TEST_F(WireTest, DetailByXsiTypeDecodesTheMostDerivedClass) {
  responder.PushEnvelope(
      Fault("SOAP-ENV:Server.userException", "x.PageClosedFault: closed",
            "<fault xsi:type=\"ss:PageClosedFault\"><pageInfo><pageId>9</pageId></pageInfo></fault>"),
      500);
  EXPECT_EQ(SetItems(), st::kFault);
  auto* closed = dynamic_cast<ss__PageClosedFault*>(binding.DetailFault());
  ASSERT_NE(closed, nullptr);
  EXPECT_NE(closed->soap_type(), ss__PageStateFault().soap_type());
  ASSERT_NE(closed->pageInfo, nullptr);
  EXPECT_EQ(closed->pageInfo->pageId, 9);
}

// Without xsi:type the element reads as the class of its name; its members come in it or, in
// the wrapped form, inside its "fault" child.
TEST_F(WireTest, DetailNamedLikeAFaultTypeWithoutXsiTypeIsReadAsThatType) {
  const std::string pageInfo = "<pageInfo><pageId>4</pageId><pageUrlPart>p4</pageUrlPart></pageInfo>";
  for (const std::string& content : {pageInfo, "<fault>" + pageInfo + "</fault>"}) {
    SCOPED_TRACE(content);
    responder.PushEnvelope(Fault("SOAP-ENV:Server.userException", "x.PageAlreadyOpenedFault: open",
                                 "<ss:PageAlreadyOpenedFault>" + content + "</ss:PageAlreadyOpenedFault>"),
                           500);
    ss__openTrustedPageResponse r;
    EXPECT_EQ(binding.openTrustedPage(Me(), nullptr, false, r), st::kFault);
    auto* opened = dynamic_cast<ss__PageAlreadyOpenedFault*>(binding.DetailFault());
    ASSERT_NE(opened, nullptr);
    ASSERT_NE(opened->pageInfo, nullptr);
    EXPECT_EQ(opened->pageInfo->pageId, 4);
    EXPECT_STREQ(*opened->pageInfo->pageUrlPart, "p4");
  }
  // Inherited members too.
  responder.PushEnvelope(Fault("SOAP-ENV:Server.userException", "x.UserIsNotPageOwnerFault: not yours",
                               "<ss:UserIsNotPageOwnerFault><fault><userInfo><serviceUserId>77</serviceUserId>"
                               "</userInfo><pageId>12</pageId></fault></ss:UserIsNotPageOwnerFault>"),
                         500);
  EXPECT_EQ(SetItems(), st::kFault);
  ExpectNotPageOwner(12, 77);
}

TEST_F(WireTest, WrapperWithForeignXsiTypeIsReadAsTheWrapper) {
  responder.PushEnvelope(
      Fault("SOAP-ENV:Server.userException", "x.PageNotOpenedFault: no",
            "<ss:PageNotOpenedFault xmlns:j=\"urn:java\" xsi:type=\"j:PageNotOpenedFault\">"
            "<fault><pageInfo><pageId>5</pageId></pageInfo></fault></ss:PageNotOpenedFault>"),
      500);
  EXPECT_EQ(SetItems(), st::kFault);
  auto* notOpened = dynamic_cast<ss__PageNotOpenedFault*>(binding.DetailFault());
  ASSERT_NE(notOpened, nullptr);
  EXPECT_EQ(notOpened->soap_type(), ss__PageNotOpenedFault().soap_type());
  EXPECT_EQ(notOpened->pageInfo->pageId, 5);
}

TEST_F(WireTest, FaultObjectGivenAsHrefAfterTheFaultIsResolved) {
  responder.PushEnvelope(
      Fault("SOAP-ENV:Server.userException", "x.UserIsNotPageOwnerFault: not yours",
            "<ss:UserIsNotPageOwnerFault xmlns:j=\"urn:java\" xsi:type=\"j:Wrapper\"><fault href=\"#f1\"/>"
            "</ss:UserIsNotPageOwnerFault>") +
          "<multiRef id=\"f1\" xsi:type=\"ss:UserIsNotPageOwnerFault\"><userInfo><serviceUserId>77</serviceUserId>"
          "</userInfo><pageId>12</pageId></multiRef>",
      500);
  EXPECT_EQ(SetItems(), st::kFault);
  ExpectNotPageOwner(12, 77);
}

TEST_F(WireTest, UnknownDetailLeavesNoFaultObject) {
  responder.PushEnvelope(
      Fault("SOAP-ENV:Server.userException", "x.SomethingNewFault: ?", "<zz:Other xmlns:zz=\"urn:z\">1</zz:Other>"),
      500);
  EXPECT_EQ(SetItems(), st::kFault);
  EXPECT_EQ(binding.DetailFault(), nullptr);
  EXPECT_STREQ(binding.FaultString(), "x.SomethingNewFault: ?");
}

TEST_F(WireTest, FaultWhoseDetailHasAWronglyTypedMemberCannotBeRead) {
  responder.PushEnvelope(Fault("SOAP-ENV:Server.userException", "x.PageDoesNotExistFault: 3",
                               "<fault xsi:type=\"ss:PageDoesNotExistFault\">"
                               "<pageId xsi:type=\"xsd:string\">three</pageId></fault>"),
                         500);
  EXPECT_EQ(SetItems(), st::kTagMismatch);
  ASSERT_NE(binding.FaultCode(), nullptr);
  EXPECT_STREQ(binding.FaultCode(), "SOAP-ENV:Client");
}

// ---- broken answers: what the SOAP layer makes of each body ----------------------------------
TEST_F(WireTest, BrokenAnswersGiveTheirStatusesAndTheBindingStaysUsable) {
  const std::string good = "<ss:getPageConfigResponse><r><statusesEnabled>true</statusesEnabled></r>"
                           "</ss:getPageConfigResponse>";
  std::string half = zone_service::EnvelopeOf(good);
  half.resize(half.size() / 2);
  struct Case {
    const char* what;
    std::string raw;  // the whole answer as sent, or empty for `body` with status 200
    std::string body;
    int status;
    DWORD errnum;
  } const cases[] = {
      {"half an envelope", "", half, st::kEof, 0},
      {"no body", "", "", st::kEof, 0},
      {"text before any markup", "", "not xml at all", st::kSyntaxError, 0},
      {"a body that looks like headers", "", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n",
       st::kSyntaxError, 0},
      {"shorter than announced", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" + half, "",
       st::kEof, ERROR_INTERNET_CONNECTION_ABORTED},
      {"an HTML error page", "HTTP/1.1 404 Not Found\r\nContent-Length: 34\r\n\r\n<html><body>Not here</body></html>",
       "", st::kTagMismatch, 0},
      {"a wrong value", "",
       zone_service::EnvelopeOf("<ss:getPageConfigResponse><r><statusesEnabled>maybe</statusesEnabled></r>"
                                "</ss:getPageConfigResponse>"),
       st::kType, 0},
      // Not HTTP at all: the send fails, nothing resolves it.
      {"no HTTP", "garbage\r\n\r\n", "", st::kHttpError, ERROR_HTTP_INVALID_SERVER_RESPONSE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.raw.empty())
      responder.PushHttp(c.body);
    else
      responder.PushRaw(c.raw);
    ss__getPageConfigResponse r;
    EXPECT_EQ(GetConfig(r), c.status);
    EXPECT_EQ(static_cast<DWORD>(binding.soap->errnum), c.errnum);
    EXPECT_EQ(r.getPageConfigReturn, nullptr);
  }
  responder.PushEnvelope(good);
  ss__getPageConfigResponse r;
  ASSERT_EQ(GetConfig(r), 0);
  EXPECT_TRUE(r.getPageConfigReturn->statusesEnabled);
}

// The transport hands the page's body to the SOAP layer, which reads it like any answer.
TEST_F(WireTest, HttpErrorPageIsReadAsTheAnswer) {
  responder.PushHttp("<html>Not found</html>", 404);
  responder.PushEnvelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>down</faultstring>"
                         "</SOAP-ENV:Fault>",
                         503);
  ss__getPageConfigResponse r;
  EXPECT_EQ(GetConfig(r), st::kTagMismatch);
  EXPECT_EQ(GetConfig(r), st::kServerFault);
  EXPECT_STREQ(binding.FaultString(), "down");
}

// ---- malformed text -------------------------------------------------------------------------------
TEST_F(WireTest, MalformedTextFailsTheAnswerAndWellFormedTextIsReadAsSent) {
  auto answer = [](const std::string& text) {
    return zone_service::EnvelopeOf("<ss:getPageConfigResponse><r><sellerUrl>" + text +
                                    "</sellerUrl></r></ss:getPageConfigResponse>");
  };
  const char* const malformed[] = {
      "a &foo; b",          "a &#0; b",           "a &#xD800; b",      "a &#x110000; b",  "a &nbsp; b",
      "a &AMP; b",          "a & b",              "a &#x; b",          "a &#X41; b",      "a &#1234567; b",
      "a \xC3\x28 b",      "a \xFF b",           "a \xED\xA0\x80 b", "a \xF4\x90\x80\x80 b",
      "a \xC0\xAF b",      "a \xE0\x80\xAF b",  "a \x01 b",          "a \xEF\xBF\xBE b", "a \xC3",
  };
  for (const char* text : malformed) {
    SCOPED_TRACE(::testing::PrintToString(std::string(text)));
    responder.PushHttp(answer(text));
    ss__getPageConfigResponse r;
    EXPECT_EQ(GetConfig(r), st::kSyntaxError);
    EXPECT_EQ(r.getPageConfigReturn, nullptr);
  }
  // Entity definitions never reach the runtime, whether used or not.
  responder.PushHttp("<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"boom\">]>" + answer("&e;").substr(39));
  ss__getPageConfigResponse r;
  EXPECT_EQ(GetConfig(r), st::kSyntaxError);

  const std::pair<std::string, std::string> wellFormed[] = {
      {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
      {"&#65;&#x42;&#xE9;&#x17C;&#65536;", "AB\xC3\xA9\xC5\xBC\xF0\x90\x80\x80"},
      {"\xC5\xBC\xC3\xB3\xC5\x82w \xF0\x9F\x98\x80", "\xC5\xBC\xC3\xB3\xC5\x82w \xF0\x9F\x98\x80"},
      {"<![CDATA[a & b <c>]]><!-- & -->d", "a & b <c>d"},
      {"tab\there", "tab\there"},
  };
  for (const auto& [text, expected] : wellFormed) {
    SCOPED_TRACE(text);
    responder.PushHttp(answer(text));
    ASSERT_EQ(GetConfig(r), 0);
    ASSERT_NE(r.getPageConfigReturn, nullptr);
    EXPECT_EQ(std::string(r.getPageConfigReturn->sellerUrl), expected);
  }
  // A Latin-1 declaration: every byte is a character, read as that character.
  responder.PushHttp("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>" + answer("\xE9t\xE9").substr(39));
  ASSERT_EQ(GetConfig(r), 0);
  EXPECT_STREQ(r.getPageConfigReturn->sellerUrl, "\xC3\xA9t\xC3\xA9");
}

// ---- requests ----------------------------------------------------------------------------------
TEST_F(WireTest, RequestCarriesParametersInOrderUnqualifiedAndUntyped) {
  responder.PushEnvelope("<ss:getPageConfigResponse/>");
  ss__getPageConfigResponse r;
  ASSERT_EQ(GetConfig(r), 0);
  EXPECT_EQ(r.getPageConfigReturn, nullptr);
  std::string req = responder.LastRequest();
  EXPECT_NE(req.find("SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\""), std::string::npos);
  EXPECT_NE(req.find("xmlns:ss=\"http://www.kordel.pl/webservices/StatusService\""), std::string::npos);
  EXPECT_NE(req.find("<ss:getPageConfig><userInfo><registrationId>REG-1000</registrationId>"
                     "<serviceUserId>1000</serviceUserId><serviceId>1</serviceId></userInfo></ss:getPageConfig>"),
            std::string::npos)
      << req;
  EXPECT_EQ(req.find("xsi:nil"), std::string::npos);
  EXPECT_EQ(req.find("<SOAP-ENV:Header"), std::string::npos);
  std::string head = responder.LastRequestHead();
  EXPECT_EQ(head.rfind("POST /rpcrouter HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nSOAPAction: \"\""), std::string::npos) << head;
}

TEST_F(WireTest, NullPointersLeaveTheirElementsOut) {
  responder.PushEnvelope("<ss:setPageConfigResponse/>");
  responder.PushEnvelope("<ss:setItemDataResponse/>");
  responder.PushEnvelope("<ss:getBuyerDataResponse/>");
  ss__setPageConfigResponse r1;
  ASSERT_EQ(binding.setPageConfig(Me(), nullptr, r1), 0);
  std::string req = responder.LastRequest();
  EXPECT_EQ(req.find("configInfo"), std::string::npos) << req;

  ss__setItemDataResponse r2;
  ASSERT_EQ(binding.setItemData(Me(), 3, Items(binding.soap, {Item(binding.soap, nullptr, 1, nullptr, 1)}), r2), 0);
  req = responder.LastRequest();
  EXPECT_NE(req.find("<item><quantity>1</quantity><sortOrder>1</sortOrder></item>"), std::string::npos) << req;

  ss__getBuyerDataResponse r3;
  ASSERT_EQ(binding.getBuyerData(nullptr, nullptr, r3), 0);
  req = responder.LastRequest();
  EXPECT_NE(req.find("<ss:getBuyerData></ss:getBuyerData>"), std::string::npos) << req;
  EXPECT_EQ(req.find("xsi:nil"), std::string::npos);
}

TEST_F(WireTest, ArraysCarryTheirSoapEncodingTypeAndUtf8TextsTravelUnchanged) {
  responder.PushEnvelope("<ss:getPageChangesInfoResponse/>");
  responder.PushEnvelope("<ss:setItemDataResponse/>");
  ss__getPageChangesInfoResponse r1;
  ASSERT_EQ(binding.getPageChangesInfo(Me(), PageIds(binding.soap, {}), 0, r1), 0);
  std::string req = responder.LastRequest();
  EXPECT_NE(req.find("<pageIds SOAP-ENC:arrayType=\"xsd:int[0]\" xsi:type=\"SOAP-ENC:Array\"></pageIds>"),
            std::string::npos)
      << req;
  EXPECT_NE(req.find("<cutoffEntryDate>"), std::string::npos);

  ss__setItemDataResponse r2;
  struct soap* s = binding.soap;
  ASSERT_EQ(binding.setItemData(Me(), 3,
                                Items(s, {Item(s, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", 1, ValuePtr(s, 2.5), 1),
                                          Item(s, "b", 2, nullptr, 2)}),
                                r2),
            0);
  req = responder.LastRequest();
  EXPECT_NE(req.find("SOAP-ENC:arrayType=\"ss:ItemInfo[2]\" xsi:type=\"SOAP-ENC:Array\""), std::string::npos) << req;
  EXPECT_NE(req.find("<name>Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87</name>"), std::string::npos) << req;
  EXPECT_NE(req.find("<price>2.5</price>"), std::string::npos);
  EXPECT_EQ(req.find("xsi:type=\"ss:ItemInfo\""), std::string::npos);

  // A null item is left out; the next item says where it belongs.
  responder.PushEnvelope("<ss:setItemDataResponse/>");
  ASSERT_EQ(binding.setItemData(Me(), 3, Items(s, {Item(s, "a", 1, nullptr, 1), nullptr, Item(s, "c", 3, nullptr, 3)}),
                                r2),
            0);
  req = responder.LastRequest();
  EXPECT_NE(req.find("<item><name>a</name>"), std::string::npos) << req;
  EXPECT_NE(req.find("<item SOAP-ENC:position=\"[2]\"><name>c</name>"), std::string::npos) << req;
  EXPECT_EQ(req.find("<item/>"), std::string::npos);
}

}  // namespace
