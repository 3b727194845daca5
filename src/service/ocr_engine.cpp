#include "service/ocr_engine.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>

namespace qw {
namespace {

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

struct TextDeleter {
  void operator()(char* text) const { delete[] text; }
};
using TesseractText = std::unique_ptr<char, TextDeleter>;

// White space around the text: the engine's layout analysis misreads text that touches the edge,
// and a tightly cropped capture of one line is the commonest picture.
constexpr int kBorderPixels = 12;

// A grey picture ready for the engine, and the factor by which it was scaled up.
struct PreparedPicture {
  PixPtr pix;
  double scale = 1.0;
};

int median(std::vector<int> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

}  // namespace

PictureProblem check_picture_header(const Bytes& picture) {
  l_int32 format = 0, width = 0, height = 0, bits = 0, samples = 0, colormap = 0;
  if (picture.empty() ||
      pixReadHeaderMem(picture.data(), picture.size(), &format, &width, &height, &bits, &samples, &colormap) != 0 ||
      width <= 0 || height <= 0) {
    return PictureProblem::unreadable;
  }
  if (width > kLargestPictureSide || height > kLargestPictureSide ||
      static_cast<long long>(width) * height > kLargestPicturePixels) {
    return PictureProblem::bad_size;
  }
  return PictureProblem::none;
}

std::unique_ptr<OcrEngine> OcrEngine::create(const OcrEngineOptions& options, std::string* error) {
  auto api = std::make_unique<tesseract::TessBaseAPI>();
  // The engine's progress notes ("Estimating resolution as ...") would fill the service's log.
  api->SetVariable("debug_file", "/dev/null");
  if (api->Init(nullptr, options.languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
    if (error) *error = "the recognition engine could not load the languages " + options.languages;
    return nullptr;
  }
  // One block of lines fits what the program sends: captures of lines, screenshots, tables whose
  // rows must stay whole so that their cells can be split. Automatic layout cuts single lines of
  // large text into pieces.
  api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
  return std::unique_ptr<OcrEngine>(new OcrEngine(std::move(api), options));
}

OcrEngine::OcrEngine(std::unique_ptr<tesseract::TessBaseAPI> api, OcrEngineOptions options)
    : api_(std::move(api)), options_(std::move(options)) {}

OcrEngine::~OcrEngine() { api_->End(); }

PictureReading OcrEngine::read(const Bytes& picture) {
  PictureReading reading;
  reading.problem = check_picture_header(picture);
  if (reading.problem != PictureProblem::none) return reading;
  PixPtr decoded(pixReadMem(picture.data(), picture.size()));
  if (!decoded) {
    reading.problem = PictureProblem::unreadable;
    return reading;
  }
  PixPtr grey(pixConvertTo8(decoded.get(), 0));
  if (!grey) {
    reading.problem = PictureProblem::unreadable;
    return reading;
  }
  decoded.reset();

  // A first look at the layout alone gives the line heights that decide the scale.
  PreparedPicture prepared{PixPtr(pixAddBorder(grey.get(), kBorderPixels, 255)), 1.0};
  if (!prepared.pix) return reading;
  api_->SetImage(prepared.pix.get());
  api_->SetSourceResolution(96);
  std::vector<int> line_heights;
  {
    std::unique_ptr<tesseract::PageIterator> layout(api_->AnalyseLayout());
    if (layout) {
      do {
        int left, top, right, bottom;
        if (layout->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) {
          line_heights.push_back(bottom - top);
        }
      } while (layout->Next(tesseract::RIL_TEXTLINE));
    }
  }
  const int typical_height = median(line_heights);
  if (typical_height > 0 && typical_height < options_.wanted_line_height) {
    const double scale =
        std::min(options_.largest_upscale, static_cast<double>(options_.wanted_line_height) / typical_height);
    PixPtr scaled(pixScale(grey.get(), static_cast<l_float32>(scale), static_cast<l_float32>(scale)));
    PixPtr bordered(scaled ? pixAddBorder(scaled.get(), static_cast<int>(std::lround(kBorderPixels * scale)), 255)
                           : nullptr);
    if (bordered) {
      prepared = {std::move(bordered), scale};
      api_->SetImage(prepared.pix.get());
      api_->SetSourceResolution(static_cast<int>(96 * scale));
    }
  }
  // The engine's coordinates back in the sender's picture.
  const int border = static_cast<int>(std::lround(kBorderPixels * prepared.scale));
  const auto to_picture = [&](int coordinate) {
    return static_cast<int>(std::lround((coordinate - border) / prepared.scale));
  };

  if (api_->Recognize(nullptr) != 0) return reading;
  std::unique_ptr<tesseract::ResultIterator> words(api_->GetIterator());
  if (!words) return reading;
  do {
    if (words->Empty(tesseract::RIL_WORD)) continue;
    if (reading.lines.empty() || words->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
      TextLine line;
      int left, top, right, bottom;
      if (words->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) {
        line.left = std::max(0, to_picture(left));
        line.top = std::max(0, to_picture(top));
        line.width = to_picture(right) - to_picture(left);
        line.height = to_picture(bottom) - to_picture(top);
      }
      reading.lines.push_back(std::move(line));
    }
    TesseractText text(words->GetUTF8Text(tesseract::RIL_WORD));
    if (!text || !*text.get()) continue;
    TextWord word;
    word.text = text.get();
    int left, top, right, bottom;
    if (words->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) {
      word.left = to_picture(left);
      word.right = to_picture(right);
    }
    reading.lines.back().words.push_back(std::move(word));
  } while (words->Next(tesseract::RIL_WORD));

  reading.lines.erase(std::remove_if(reading.lines.begin(), reading.lines.end(),
                                     [](const TextLine& line) { return line_text(line).empty(); }),
                      reading.lines.end());
  return reading;
}

}  // namespace qw
