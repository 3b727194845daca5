// Arbitrary answers and paths never crash a document, and whatever parses writes back as JSON that
// parses to the same text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "json/json_document.h"
#include "json/json_text.h"

namespace qw {
namespace {

// Mostly JSON's own characters, so that many texts get deep into the parser before they fail.
std::string random_text(std::mt19937& random, std::size_t max_length) {
  static constexpr char kPieces[] = "{}[]:,\"\\ 0123456789.-+eEtrufalsn\xD6\xD0\xCE\xC4" "abc\x01\x80\xFF";
  std::uniform_int_distribution<std::size_t> length_of(0, max_length);
  std::uniform_int_distribution<int> choice(0, 3);
  std::uniform_int_distribution<std::size_t> piece(0, sizeof kPieces - 2);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string text(length_of(random), ' ');
  for (char& c : text) c = choice(random) == 0 ? static_cast<char>(byte(random)) : kPieces[piece(random)];
  return text;
}

std::string random_path(std::mt19937& random) {
  static const char* const kSteps[] = {"a", "b", "words_result", "[0]", "[1]", "[-1]", ".", "[", "]", "0",
                                       " ", "\xD6\xD0", "[99999999999999999999]", "x.y", ""};
  std::uniform_int_distribution<int> count(0, 5);
  std::uniform_int_distribution<std::size_t> step(0, std::size(kSteps) - 1);
  std::string path;
  for (int i = count(random); i > 0; --i) {
    if (!path.empty() && step(random) % 2 == 0) path += '.';
    path += kSteps[step(random)];
  }
  return path;
}

TEST(JsonRobustness, RandomTextsAndPathsNeverCrash) {
  std::mt19937 random(20240611);
  const std::vector<std::string> seeds = {
      R"({"log_id":1,"words_result":[{"words":"a"},{"words":"b"}],"a":{"b":[1,"x",null]}})",
      R"([[1,2],{"a":"b"},"s",3.5e-7,true])"};
  int parsed = 0;
  for (int round = 0; round < 4000; ++round) {
    JsonDocument document;
    std::string text = random_text(random, 48);
    if (round % 4 == 0) {
      text = seeds[round / 4 % seeds.size()];
      text.insert(random() % (text.size() + 1), random_text(random, 2));
    } else if (round % 4 == 1) {
      text = seeds[round / 4 % seeds.size()];
    }
    if (document.parse(text)) {
      ++parsed;
      JsonDocument again;
      ASSERT_TRUE(again.parse(document.to_json())) << text;
      EXPECT_EQ(again.to_json(), document.to_json()) << text;
    }
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
      const std::string path = random_path(random);
      const std::string value = random_text(random, 8);
      const int index = static_cast<int>(random() % 7) - 3;
      switch (random() % 12) {
        case 0: document.set_member(path, value, random() % 2 == 0); break;
        case 1: document.set_member_json(path, value); break;
        case 2: document.set_member_number(path, static_cast<double>(random()) / 7); break;
        case 3: document.push_value(value, path, random() % 2 == 0); break;
        case 4: document.set_element(index, value, random() % 2 == 0); break;
        case 5: document.remove_element(index); break;
        case 6: document.remove_member(path); break;
        case 7: document.set_value(value, random() % 2 == 0); break;
        case 8: document.reset(index + 3); break;
        case 9: document = document.get_document(path); break;
        case 10: document = document.get_element_document(index, path); break;
        default: document.copy().parse(value); break;
      }
      EXPECT_GE(document.get_count(path), -2);
      const int type = document.get_type(path);
      EXPECT_TRUE(type == -1 || type == 0 || type == 2 || type == 4 || type == 5 || type == 6) << type;
      document.get_text(path, random() % 2 == 0);
      document.get_element_text(index, path, random() % 2 == 0);
      document.get_number(path);
      document.get_member_json(path);
      document.has_member(path);
      const int name_count = document.get_member_names(names, path);
      EXPECT_EQ(name_count, static_cast<int>(names.size()));
    }
    JsonDocument again;
    const std::string json = document.to_json();
    if (json != "null") {
      EXPECT_TRUE(again.parse(json)) << json;
    }
  }
  EXPECT_GT(parsed, 1000);
}

// Recognition workers read answers on threads of their own, with a default-sized stack.
TEST(JsonRobustness, DeepestAcceptedNestingIsHandledOnAWorkerThread) {
  const std::string deepest = std::string(kMaxJsonDepth, '[') + "1" + std::string(kMaxJsonDepth, ']');
  const std::string too_deep = "[" + deepest + "]";
  bool parsed_deepest = false, parsed_too_deep = true;
  std::string written, part_written;
  std::thread worker([&] {
    JsonDocument document;
    parsed_deepest = document.parse(deepest);
    written = document.to_json();
    JsonDocument part = document.get_document("[0]");
    part_written = part.to_json();
    parsed_too_deep = document.parse(too_deep);
  });
  worker.join();
  EXPECT_TRUE(parsed_deepest);
  EXPECT_EQ(written, deepest);
  EXPECT_EQ(part_written, deepest.substr(1, deepest.size() - 2));
  EXPECT_FALSE(parsed_too_deep);
}

}  // namespace
}  // namespace qw
