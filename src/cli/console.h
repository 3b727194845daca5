// Writing GBK text to the console's standard streams.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qw::cli {

enum class Stream { out, err };

// Puts the streams in binary mode where that matters, so "\r\n" stays "\r\n". Call once at start.
void prepare_console();
// Writes `gbk` as UTF-8 (to a Windows console: as wide text), or its exact bytes when `raw`.
void write_text(Stream stream, std::string_view gbk, bool raw);

// The program's arguments, without the program name, as UTF-8.
std::vector<std::string> utf8_arguments(int argc, char** argv);

}  // namespace qw::cli
