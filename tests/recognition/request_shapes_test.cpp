// The parts of the flows that need no service: request bodies, file lists, names, help text.
#include <gtest/gtest.h>

#include "common/file_io.h"
#include "common/paths.h"
#include "recognition/batch_recognition.h"
#include "recognition/error_help.h"
#include "recognition/sogou_recognition.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

TEST(SogouRequest, BodyIsPartHeaderPictureAndClosing) {
  const Bytes png = {0x89, 'P', 'N', 'G', 0, 1, 2};
  const Bytes body = sogou_request_body(png);
  ASSERT_EQ(body.size(), png.size() + 198);
  const std::string text(body.begin(), body.end());
  const std::string header =
      "--f70613d3869bdff2e4bb2e10d539e23a\r\n"
      "Content-Disposition:  form-data; name=\"pic\"; filename=\"f70613d3869bdff2e4bb2e10d539e23a.jpg\"\r\n"
      "Content-Type:  image/pjpeg\r\n\r\n";
  ASSERT_EQ(header.size(), 160u);
  EXPECT_EQ(text.substr(0, 160), header);
  EXPECT_EQ(text.substr(160, png.size()), std::string(png.begin(), png.end()));
  EXPECT_EQ(text.substr(160 + png.size()), "\r\n--f70613d3869bdff2e4bb2e10d539e23a--");
  EXPECT_EQ(sogou_request_body({}).size(), 198u);
}

TEST(SogouRequest, HeaderLinesByteForByte) {
  EXPECT_EQ(sogou_header_lines("ocr.example:81"),
            "Content-Type:multipart/form-data;boundary=f70613d3869bdff2e4bb2e10d539e23a\r\n"
            "Accept:*/*\r\n"
            "Referer: http://ocr.example:81/v2/ocr/json\r\n"
            "Accept-Language: zh-CN\r\n"
            "User-Agent:Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
            "Host: ocr.example:81\r\n");
}

TEST(BatchFiles, PicturesByPatternThenFileSystemOrder) {
  testing::TempDir dir;
  const auto folder = dir.path() / path_from_text("图片");
  std::filesystem::create_directories(folder / "sub.jpg");  // a folder is never a picture
  for (const char* name : {"c.txt", "b.png", "a.jpg", "D.JPG", "e.Bmp", "f.jpeg", "图.png", ".hidden.jpg"}) {
    ASSERT_TRUE(replace_file_atomically(folder / path_from_text(name), "x"));
  }
  const auto pictures = find_batch_pictures(folder);
  std::vector<std::string> names;
  for (const auto& p : pictures) names.push_back(text_from_path(p.filename()));
  // Within a pattern the order is the file system's; across patterns jpg, png, bmp.
  ASSERT_EQ(names.size(), 6u);
  auto group = [&](std::size_t from, std::size_t to) {
    std::vector<std::string> part(names.begin() + from, names.begin() + to);
    std::sort(part.begin(), part.end());
    return part;
  };
  EXPECT_EQ(group(0, 3), (std::vector<std::string>{".hidden.jpg", "D.JPG", "a.jpg"}));
  EXPECT_EQ(group(3, 5), (std::vector<std::string>{"b.png", "图.png"}));
  EXPECT_EQ(names[5], "e.Bmp");
  for (const auto& p : pictures) EXPECT_EQ(p.parent_path(), folder);
  EXPECT_TRUE(find_batch_pictures(dir.path() / "missing").empty());
}

TEST(BatchFiles, OutputNameAndTheLimitOfTen) {
  EXPECT_EQ(text_from_path(batch_output_path(path_from_text("x/图片/a.jpg"))), text_from_path(path_from_text("x/图片/a.txt")));
  EXPECT_EQ(batch_output_path("a.b.png"), std::filesystem::path("a.b.txt"));
  const std::pair<std::string, std::string> limits[] = {
      {"11", "10"}, {"10.5", "10"}, {"99", "10"}, {"10", "10"}, {"0", "0"}, {"-3", "-3"}, {"abc", "abc"}, {"", ""},
      {"10.00000001", "10.00000001"},
  };
  for (const auto& [typed, kept] : limits) EXPECT_EQ(limited_to_ten(typed), kept) << typed;
}

TEST(ErrorHelp, StartsWithTheDocumentationAndListsTheCodes) {
  const std::string& help = error_help_text();
  EXPECT_EQ(help.rfind("\r\n错误码查询：http://ai.baidu.com/docs#/OCR-API/58fd45dd\r\n\r\n\r\n强烈建议使用自己的接口\r\n\r\n常见错误信息\r\n\r\n1\r\nUnknown error\r\n服务器内部错误，请再次请求， 如果持续出现此类错误，请通过QQ群（", 0), 0u);
  EXPECT_NE(help.find("\r\n110\r\nAccess token invalid or no longer valid\r\naccess_token无效\r\n"), std::string::npos);
  const std::string last = "111\r\nAccess token expired\r\naccess token过期";
  EXPECT_EQ(help.substr(help.size() - last.size()), last);
}

}  // namespace
}  // namespace qw
