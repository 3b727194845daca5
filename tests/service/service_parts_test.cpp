// The service's pure parts: form bodies, Base64, line joining and cells, tokens, the spreadsheet.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "common/file_io.h"
#include "service/access_tokens.h"
#include "service/engine_pool.h"
#include "service/form_body.h"
#include "service/spreadsheet_xls.h"
#include "service/text_lines.h"
#include "support/temp_dir.h"
#include "service/xls_reader.h"

namespace qw {
namespace {

TEST(FormBody, DecodesPlusPercentAndKeepsBrokenEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"a+b", "a b"},       {"%2B%2F%3D", "+/="}, {"%e4%b8%ad", "\xE4\xB8\xAD"},
      {"100%", "100%"},     {"%zz1", "%zz1"},     {"%4", "%4"},
      {"", ""},
  };
  for (const auto& [encoded, decoded] : cases) EXPECT_EQ(form_decode(encoded), decoded) << encoded;
}

TEST(FormBody, SplitsFieldsWithLaterNamesWinning) {
  const auto fields = parse_form_body("grant_type=client_credentials&client_id=a%26b&&flag&client_id=c&x=1=2");
  EXPECT_EQ(fields.at("grant_type"), "client_credentials");
  EXPECT_EQ(fields.at("client_id"), "c");
  EXPECT_EQ(fields.at("flag"), "");
  EXPECT_EQ(fields.at("x"), "1=2");
  EXPECT_EQ(fields.size(), 4u);
}

TEST(Base64Decode, ReadsPaddedUnpaddedAndWrappedTextAndRefusesTheRest) {
  const std::pair<std::string, std::string> good[] = {
      {"", ""}, {"Zg==", "f"}, {"Zm8=", "fo"}, {"Zm9v", "foo"}, {"Zm9vYmFy", "foobar"}, {"Zm8", "fo"},
      {"Zm9v\r\nYmFy", "foobar"}, {"+/+/", "\xFB\xFF\xBF"},
  };
  for (const auto& [text, bytes] : good) {
    const auto decoded = base64_decode(text);
    ASSERT_TRUE(decoded) << text;
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), bytes) << text;
  }
  for (const char* bad : {"Z", "Zm9v!", "Zg==Zg==", "Zg===", "Zm 9v", "-_-_"}) EXPECT_FALSE(base64_decode(bad)) << bad;
}

std::vector<TextWord> words_of(std::initializer_list<std::pair<const char*, int>> texts_and_lefts) {
  std::vector<TextWord> words;
  for (const auto& [text, left] : texts_and_lefts) words.push_back({text, left, left + 10});
  return words;
}

TEST(JoinWords, DropsTheEngineSpacesBetweenChineseCharactersOnly) {
  const struct {
    std::vector<TextWord> words;
    std::string line;
  } cases[] = {
      {words_of({{u8"青", 0}, {u8"梧", 0}, {u8"工具", 0}}), u8"青梧工具"},
      {words_of({{"Offline", 0}, {"OCR", 0}}), "Offline OCR"},
      {words_of({{u8"离线", 0}, {"OCR", 0}, {u8"识别", 0}}), u8"离线 OCR 识别"},
      {words_of({{u8"价格", 0}, {"12.5", 0}, {u8"元", 0}}), u8"价格 12.5 元"},
      // ASCII marks after an ideograph are the Chinese ones, read as their look-alikes.
      {words_of({{u8"第三行", 0}, {":", 0}, {u8"价格", 0}}), u8"第三行：价格"},
      {words_of({{u8"你好", 0}, {",", 0}, {"world", 0}}), u8"你好， world"},
      {words_of({{"Note", 0}, {":", 0}, {"done", 0}}), "Note : done"},
      {words_of({{u8"用", 0}, {u8"。", 0}}), u8"用。"},
      {words_of({{"", 0}, {"a", 0}}), "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(join_words(c.words), c.line);
}

TEST(SplitCells, CutsOnlyAtGapsOfOneAndAHalfLineHeights) {
  TextLine line;
  line.height = 20;
  line.words = {{u8"姓", 0, 18}, {u8"名", 20, 38}, {u8"年龄", 80, 118}, {"Zhang", 160, 210}, {"San", 215, 245}};
  EXPECT_EQ(split_cells(line), (std::vector<std::string>{u8"姓名", u8"年龄", "Zhang San"}));
  // As one line of text, the wide gaps stay spaces even between Chinese words.
  EXPECT_EQ(line_text(line), u8"姓名 年龄 Zhang San");
  line.words.clear();
  EXPECT_TRUE(split_cells(line).empty());
}

TEST(AccessTokens, IssuedTokensCheckUntilTheyExpireAndForgeriesDoNot) {
  const TokenIssuer issuer({{"key", "secret"}}, std::string(32, 's'), {"fixed-token"});
  EXPECT_EQ(issuer.check_keys("key", "secret"), KeyCheck::accepted);
  EXPECT_EQ(issuer.check_keys("key", "Secret"), KeyCheck::wrong_secret);
  EXPECT_EQ(issuer.check_keys("other", "secret"), KeyCheck::unknown_client);
  EXPECT_EQ(issuer.check_keys("", ""), KeyCheck::unknown_client);

  const std::time_t issued = 1'700'000'000;
  const std::string token = issuer.issue("key", issued);
  EXPECT_EQ(token.rfind("24.", 0), 0u);
  EXPECT_GE(token.size(), 6u);  // the program takes a stored token of fewer bytes as absent
  EXPECT_EQ(issuer.check_token(token, issued), TokenCheck::valid);
  EXPECT_EQ(issuer.check_token(token, issued + kTokenLifetimeSeconds - 1), TokenCheck::valid);
  EXPECT_EQ(issuer.check_token(token, issued + kTokenLifetimeSeconds), TokenCheck::expired);
  EXPECT_EQ(issuer.check_token("fixed-token", issued), TokenCheck::valid);

  std::string forged = token;
  forged.back() = forged.back() == '1' ? '2' : '1';  // a changed payload no longer matches its signature
  const std::string other_service = TokenIssuer({{"key", "secret"}}, std::string(32, 't'), {}).issue("key", issued);
  for (const std::string& bad : {forged, other_service, std::string(), std::string("24."), token.substr(0, 40)}) {
    EXPECT_EQ(issuer.check_token(bad, issued), TokenCheck::unknown) << bad;
  }
}

TEST(AccessTokens, KeyFileHoldsOnePairALine) {
  const auto pairs = read_key_pairs("# local keys\n\nabc def\n  ghi\tjkl  \n");
  ASSERT_TRUE(pairs);
  ASSERT_EQ(pairs->size(), 2u);
  EXPECT_EQ((*pairs)[1].api_key, "ghi");
  EXPECT_EQ((*pairs)[1].secret_key, "jkl");
  EXPECT_FALSE(read_key_pairs("abc def\nlonely\n"));
}

TEST(SpreadsheetXls, IsACompoundFileThatAReaderOpensWithEveryCell) {
  const testing::TempDir folder;
  const struct {
    const char* name;
    SheetRows rows;
    std::string expected;
  } cases[] = {
      {"small", {{u8"姓名", u8"年龄"}, {"Zhang San", "42"}, {u8"一行"}}, u8"姓名\t年龄\nZhang San\t42\n一行\t\n"},
      {"empty", {}, ""},
      // Enough distinct text to need the string table's continuation records and several FAT entries.
      {"large", [] {
         SheetRows rows;
         for (int i = 0; i < 3000; ++i) rows.push_back({u8"第" + std::to_string(i) + u8"行文字", "line " + std::to_string(i)});
         return rows;
       }(), ""},
  };
  for (const auto& c : cases) {
    const std::string bytes = xls_workbook(c.rows);
    ASSERT_GE(bytes.size(), 512u + 4096u) << c.name;
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) << c.name;
    EXPECT_EQ(bytes.size() % 512, 0u) << c.name;
    const std::filesystem::path file = folder.path() / (std::string(c.name) + ".xls");
    ASSERT_TRUE(replace_file_atomically(file, bytes));
    const auto cells = testing::read_back_with_xlrd(file);
    if (!cells) GTEST_SKIP() << "python3-xlrd is not installed";
    if (std::string(c.name) == "large") {
      EXPECT_NE(cells->find(u8"第2999行文字\tline 2999\n"), std::string::npos);
      EXPECT_EQ(std::count(cells->begin(), cells->end(), '\n'), 3000);
    } else {
      EXPECT_EQ(*cells, c.expected) << c.name;
    }
  }
}

TEST(EnginePool, CreatesEachEngineOnceAndLendsItToOneHolderAtATime) {
  std::atomic<int> created{0};
  EnginePool pool(2, [&] {
    ++created;
    return OcrEngine::create(OcrEngineOptions{});
  });
  const OcrEngine* first_engine = nullptr;
  for (int request = 0; request < 5; ++request) {
    EnginePool::Lease lease = pool.acquire();
    ASSERT_TRUE(lease);
    if (!first_engine) first_engine = lease.get();
    EXPECT_EQ(lease.get(), first_engine);  // one after another, the same engine serves
  }
  EXPECT_EQ(created, 1);

  EnginePool::Lease a = pool.acquire();
  EnginePool::Lease b = pool.acquire();
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(created, 2);
  // A third holder waits for one of the two instead of making another engine.
  std::promise<const OcrEngine*> third_promise;
  std::thread third([&] { third_promise.set_value(pool.acquire().get()); });
  const OcrEngine* returned = a.get();
  { EnginePool::Lease done = std::move(a); }
  EXPECT_EQ(third_promise.get_future().get(), returned);
  third.join();
  EXPECT_EQ(created, 2);
}

TEST(OcrEngine, RefusesPicturesByTheirHeaders) {
  const Bytes not_a_picture = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(check_picture_header(not_a_picture), PictureProblem::unreadable);
  EXPECT_EQ(check_picture_header(Bytes{}), PictureProblem::unreadable);
  // A valid PNG header claiming 10000 x 10 pixels: refused for its size before any decoding.
  const unsigned char wide_png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                    0, 0, 0x27, 0x10, 0, 0, 0, 10, 8, 0, 0, 0, 0, 0x3B, 0x8D, 0x63, 0x64,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // the next chunk
  EXPECT_EQ(check_picture_header(Bytes(std::begin(wide_png), std::end(wide_png))), PictureProblem::bad_size);
}

}  // namespace
}  // namespace qw
