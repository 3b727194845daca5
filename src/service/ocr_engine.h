// One Tesseract instance: picture bytes (PNG, JPEG, BMP, ...) in, recognised lines out.
//
// An engine is expensive to create (it loads the language models) and must not be shared between
// threads, so the service creates a few once and lends them out (engine_pool.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "service/text_lines.h"

namespace tesseract {
class TessBaseAPI;
}

namespace qw {

struct OcrEngineOptions {
  std::string languages = "chi_sim+eng";
  // Lines shorter than this (in pixels) are scaled up before recognition: the models read small
  // screen text far better at this height.
  int wanted_line_height = 32;
  double largest_upscale = 4.0;
};

// Pictures the engine refuses to look at. Their sides are checked from the file's header first,
// so a small file claiming a huge picture costs nothing.
constexpr int kLargestPictureSide = 8192;
constexpr long long kLargestPicturePixels = 40'000'000;

enum class PictureProblem { none, unreadable, bad_size };

// What the file's header says, without decoding the picture.
PictureProblem check_picture_header(const Bytes& picture);

struct PictureReading {
  PictureProblem problem = PictureProblem::none;
  std::vector<TextLine> lines;
};

class OcrEngine {
 public:
  // Nothing when the engine cannot start (missing language data); `error` then says why.
  static std::unique_ptr<OcrEngine> create(const OcrEngineOptions& options, std::string* error = nullptr);
  ~OcrEngine();
  OcrEngine(const OcrEngine&) = delete;
  OcrEngine& operator=(const OcrEngine&) = delete;

  PictureReading read(const Bytes& picture);

 private:
  OcrEngine(std::unique_ptr<tesseract::TessBaseAPI> api, OcrEngineOptions options);
  std::unique_ptr<tesseract::TessBaseAPI> api_;
  OcrEngineOptions options_;
};

}  // namespace qw
