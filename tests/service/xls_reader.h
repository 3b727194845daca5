// Reading a spreadsheet back the way a spreadsheet program would, with python3-xlrd.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace qw::testing {

// The cells as a spreadsheet reader sees them, one row a line, cells separated by tabs; nothing
// when no reader is installed.
inline std::optional<std::string> read_back_with_xlrd(const std::filesystem::path& file) {
  if (std::system("/usr/bin/python3 -c 'import xlrd' 2>/dev/null") != 0) return std::nullopt;
  const std::string command =
      "/usr/bin/python3 -c \"import sys, xlrd\n"
      "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
      "for r in range(s.nrows): sys.stdout.buffer.write(('\\t'.join(str(s.cell_value(r, c)) for c in range(s.ncols)) + '\\n').encode())\n"
      "\" '" + file.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string output;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  return pclose(pipe) == 0 ? std::optional<std::string>(output) : std::nullopt;
}

}  // namespace qw::testing
