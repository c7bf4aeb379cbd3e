#include "online/form_exchange.h"

#include <gtest/gtest.h>

#include "common/md5.h"
#include "online/update_check.h"
#include "platform/fake/fake_http.h"
#include "unit/online_test_support.h"

namespace sv::online {
namespace {

struct EncodeCase {
  const char* name;
  std::string text;
  std::string encoded;
};

class EncodeFormText : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeFormText, EscapesExactlyTheListedCharacters) {
  EXPECT_EQ(online::EncodeFormText(GetParam().text), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, EncodeFormText,
    ::testing::Values(EncodeCase{"PlainTextUnchanged", "Editor2000", "Editor2000"},
                      EncodeCase{"Blank", "a b", "a%20b"},
                      EncodeCase{"LineBreaks", "a\r\nb", "a%0D%0Ab"},
                      EncodeCase{"TabAndNul", std::string("\t\0", 2), "%09%00"},
                      EncodeCase{"Code32And33", " !", "%20!"},
                      EncodeCase{"Percent", "100%", "100%25"}, EncodeCase{"Hash", "#1", "%231"},
                      EncodeCase{"Star", "*", "%2A"}, EncodeCase{"AngleBrackets", "<b>", "%3Cb%3E"},
                      EncodeCase{"SquareBrackets", "[x]", "%5Bx%5D"},
                      EncodeCase{"AmpersandAndEqualsUnchanged", "a&b=c", "a&b=c"},
                      EncodeCase{"PunctuationUnchanged", "+/:?@$,;'\"!(){}|\\^`~-_.",
                                 "+/:?@$,;'\"!(){}|\\^`~-_."},
                      EncodeCase{"Code127And128Unchanged", "\x7F\x80", "\x7F\x80"},
                      EncodeCase{"AboveCode128", "\x81\xFF", "%81%FF"},
                      // Inside the program text is UTF-8: "é" is C3 A9, "€" is E2 82 AC.
                      EncodeCase{"Utf8Bytes", "\xC3\xA9\xE2\x82\xAC", "%C3%A9%E2%82%AC"},
                      EncodeCase{"UpperCaseHexDigits", "\xAB", "%AB"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(EncodeFormBody, JoinsEncodedLinesWithAmpersandAndNoneAfterTheLast) {
  EXPECT_EQ(EncodeFormBody({{"System", "Vestrel"}, {"Command", "Update"}, {"A", "x y"}}),
            "System=Vestrel&Command=Update&A=x%20y");
  EXPECT_EQ(EncodeFormBody({}), "");
}

TEST(EncodeFormBody, SendsAnEmptyValueAsABareKeyAndEquals) {
  EXPECT_EQ(EncodeFormBody({{"SoftVer", ""}, {"Email", ""}}), "SoftVer=&Email=");
}

TEST(EncodeFormBody, ValuesWithAmpersandOrEqualsAreSentAsTheyAre) {
  EXPECT_EQ(EncodeFormBody({{"SoftName", "Tom & Jerry"}, {"Other", "a=b"}}),
            "SoftName=Tom%20&%20Jerry&Other=a=b");
}

TEST(ValidationCodes, RequestCodeDigestsTheSaltPiecesAroundCommandAndValues) {
  // The salt "KVRTOMPAX" cut after three and six letters; the reference service's tests pin
  // the same two codes, so a change on one side shows on both.
  EXPECT_EQ(RequestValidationCode("Update", {{"ProgramVer", "1"}, {"DataVer", "2"}, {"X", "3"}}),
            Md5Hex("KVRUpdateTOM123PAX").substr(0, 5));
  EXPECT_EQ(RequestValidationCode("Update", {{"ProgramVer", "1"}, {"DataVer", "2"}, {"X", "3"}}),
            "99f40");
  EXPECT_EQ(ReplyValidationCode("0", "99f40"), "386f9");
  EXPECT_EQ(ReplyValidationCode("0", "99f40"), Md5Hex("ZEL0NUW99f40HIQ").substr(0, 5));
}

TEST(ValidationCodes, AreFiveLowerCaseHexDigitsThatFollowTheirData) {
  const std::string code = RequestValidationCode("SubmitSoft", {{"SoftName", "A"}});
  ASSERT_EQ(code.size(), 5u);
  for (const char c : code)
    EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << code;
  EXPECT_NE(code, RequestValidationCode("SubmitSoft", {{"SoftName", "B"}}));
  EXPECT_NE(code, RequestValidationCode("Update", {{"SoftName", "A"}}));
  EXPECT_NE(ReplyValidationCode("1", code), ReplyValidationCode("2", code));
  EXPECT_NE(ReplyValidationCode("1", code), ReplyValidationCode("1", "00000"));
}

TEST(BuildRequestLines, PutsSystemCommandDataAndTheCodeLast) {
  const auto lines = BuildRequestLines("Update", {{"ProgramVer", "5"}});
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], (FormLine{"System", "Vestrel"}));
  EXPECT_EQ(lines[1], (FormLine{"Command", "Update"}));
  EXPECT_EQ(lines[2], (FormLine{"ProgramVer", "5"}));
  EXPECT_EQ(lines[3],
            (FormLine{"ValCode", RequestValidationCode("Update", {{"ProgramVer", "5"}})}));
}

struct SplitCase {
  const char* name;
  std::string body;
  std::vector<FormLine> lines;
};

class SplitReplyLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitReplyLines, CutsLinesAndTheFirstEquals) {
  EXPECT_EQ(online::SplitReplyLines(GetParam().body), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, SplitReplyLines,
    ::testing::Values(
        SplitCase{"Empty", "", {}},
        SplitCase{"CarriageReturnLineFeed", "a=1\r\nb=2", {{"a", "1"}, {"b", "2"}}},
        SplitCase{"LineFeedOnly", "a=1\nb=2\n", {{"a", "1"}, {"b", "2"}}},
        SplitCase{"CarriageReturnOnly", "a=1\rb=2", {{"a", "1"}, {"b", "2"}}},
        SplitCase{"TrailingBreakEndsTheLastLine", "a=1\r\n", {{"a", "1"}}},
        SplitCase{"EmptyLinesCount", "a=1\r\n\r\nb=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
        SplitCase{
            "LineFeedThenCarriageReturnIsTwoBreaks", "a\n\rb", {{"", "a"}, {"", ""}, {"", "b"}}},
        SplitCase{"NoEqualsGivesEmptyKey", "hello", {{"", "hello"}}},
        SplitCase{"CutAtTheFirstEquals", "k=v=w", {{"k", "v=w"}}},
        SplitCase{"EmptyValue", "k=", {{"k", ""}}},
        SplitCase{"BlanksKept", " k = v ", {{" k ", " v "}}}),
    [](const auto& test) { return std::string(test.param.name); });

struct NumberCase {
  const char* name;
  std::string value;
  int number;
};

class ResultNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ResultNumber, ReadsADecimalIntegerOrZero) {
  EXPECT_EQ(online::ResultNumber(GetParam().value), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ResultNumber,
    ::testing::Values(NumberCase{"Positive", "12", 12}, NumberCase{"Zero", "0", 0},
                      NumberCase{"Negative", "-7", -7}, NumberCase{"PlusSign", "+3", 3},
                      NumberCase{"LeadingZeros", "0003", 3}, NumberCase{"Empty", "", 0},
                      NumberCase{"Word", "many", 0}, NumberCase{"TrailingText", "3x", 0},
                      NumberCase{"Blank", " 3", 0}, NumberCase{"LoneSign", "-", 0},
                      NumberCase{"TwoSigns", "+-3", 0}, NumberCase{"Hex", "0x10", 0},
                      NumberCase{"Largest", "2147483647", 2147483647},
                      NumberCase{"Smallest", "-2147483648", -2147483647 - 1},
                      NumberCase{"TooLarge", "2147483648", 0},
                      NumberCase{"FarTooLarge", "99999999999999999999999", 0}),
    [](const auto& test) { return std::string(test.param.name); });

// The reply table, line by line, for a request whose code is "abcde".
struct ReplyCase {
  const char* name;
  std::string body;
  int result;
};

std::string Code(std::string_view resultValue) {
  return ReplyValidationCode(resultValue, "abcde");
}

class ExamineReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ExamineReply, GivesTheResultOfTheReplyTable) {
  EXPECT_EQ(online::ExamineReply(GetParam().body, "Update", "abcde"), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExamineReply,
    ::testing::Values(
        ReplyCase{"EmptyBodyStaysAtNoReply", "", -999},
        ReplyCase{
            "FiveLinesPositive",
            "System=Vestrel\r\nCommand=Update\r\nanything\r\nResult=3\r\nValCode=" + Code("3"), 3},
        ReplyCase{"FiveLinesZero",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=0\r\nValCode=" + Code("0"), 0},
        ReplyCase{"NotANumberIsZero",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=many\r\nValCode=" + Code("many"),
                  0},
        ReplyCase{"ServiceNegativeKept",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=-7\r\nValCode=" + Code("-7"),
                  -7},
        ReplyCase{"WrongSystemValue", "System=Other\r\nCommand=Update\r\nx\r\nResult=3", -1},
        ReplyCase{"WrongSystemKey", "Sys=Vestrel\r\nCommand=Update", -1},
        ReplyCase{"SystemCaseMatters", "System=vestrel", -1},
        ReplyCase{"FirstLineWithoutEquals", "Vestrel", -1},
        ReplyCase{"OneGoodLine", "System=Vestrel", -999},
        ReplyCase{"WrongCommand", "System=Vestrel\r\nCommand=SubmitSoft\r\nx\r\nResult=3", -2},
        ReplyCase{"WrongCommandKey", "System=Vestrel\r\nCmd=Update", -2},
        ReplyCase{"ThreeLinesStayAtNoReply", "System=Vestrel\r\nCommand=Update\r\nResult=3", -999},
        ReplyCase{"FourLinesNeedNoCode", "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=4", 4},
        ReplyCase{"FourLinesOtherKeyStaysAtNoReply",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nStatus=4", -999},
        ReplyCase{"FifthLineWrongCode",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=3\r\nValCode=00000", -4},
        ReplyCase{"FifthLineCodeForAnotherResult",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=3\r\nValCode=" + Code("4"), -4},
        ReplyCase{"FifthLineOtherKey",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=3\r\nCode=" + Code("3"), -4},
        ReplyCase{"FifthLineEmpty", "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=3\r\n\r\n",
                  -4},
        ReplyCase{"OtherKeyOnLineFourThenAValidCode",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nStatus=3\r\nValCode=" + Code("3"),
                  -999},
        ReplyCase{"SixthLineAndLaterIgnored",
                  "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=2\r\nValCode=" + Code("2") +
                      "\r\nValCode=00000\r\ngarbage",
                  2},
        ReplyCase{"BareLineFeeds",
                  "System=Vestrel\nCommand=Update\nx\nResult=5\nValCode=" + Code("5") + "\n", 5}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ExamineReply, ComparesTheCommandOfTheRequest) {
  const std::string reply = "System=Vestrel\r\nCommand=SubmitSoft\r\nx\r\nResult=1";
  EXPECT_EQ(online::ExamineReply(reply, "SubmitSoft", "abcde"), 1);
  EXPECT_EQ(online::ExamineReply(reply, "Update", "abcde"), -2);
}

TEST(ExchangeOptions, DefaultToTheVendorsServiceAndThirtySeconds) {
  const ExchangeOptions options;
  ASSERT_TRUE(options.service);
  EXPECT_EQ(*options.service, VendorServiceUrl());
  EXPECT_EQ(options.readTimeoutMs, 30000u);
  EXPECT_EQ(*ExchangeOptions::ForSetting("").service, VendorServiceUrl());
  EXPECT_EQ(ExchangeOptions::ForSetting("http://127.0.0.1:81").service->port, 81);
  EXPECT_FALSE(ExchangeOptions::ForSetting("ftp://x").service);
}

TEST(PerformFormExchange, PostsOnceWithTheContentTypeAndTheEncodedBody) {
  fake::FakeHttpTransport transport;
  transport.SetDefault(testing::Answering("Update", "0"));
  ExchangeOptions options;
  options.service = ServiceUrl{"127.0.0.1", 8080, "/mirror/communicate.php"};
  EXPECT_EQ(PerformFormExchange(transport, options, "Update", {{"A", "x y"}}, false), 0);
  ASSERT_EQ(transport.Requests().size(), 1u);
  const auto& request = transport.Requests()[0].request;
  EXPECT_EQ(transport.Requests()[0].method, "POST");
  EXPECT_EQ(request.host, "127.0.0.1");
  EXPECT_EQ(request.port, 8080);
  EXPECT_EQ(request.path, "/mirror/communicate.php");
  EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(request.body, "System=Vestrel&Command=Update&A=x%20y&ValCode=" +
                              RequestValidationCode("Update", {{"A", "x y"}}));
}

TEST(PerformFormExchange, WithoutAUsableAddressSendsNothing) {
  fake::FakeHttpTransport transport;
  transport.SetDefault(testing::Answering("Update", "1"));
  ExchangeOptions options;
  options.service = std::nullopt;
  EXPECT_EQ(PerformFormExchange(transport, options, "Update", {}, false), -999);
  EXPECT_EQ(transport.PostCount(), 0);
}

}  // namespace
}  // namespace sv::online
