// A one-sheet Excel 97-2003 workbook (.xls): the BIFF8 records of the text cells inside an OLE
// compound file. That is the format a ".xls" is expected to be: every spreadsheet program opens it
// without asking, and its strings are UTF-16, so Chinese text needs no code page. (An XML
// spreadsheet renamed to .xls makes current Excel warn that the content does not match the name.)
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qw {

using SheetRows = std::vector<std::vector<std::string>>;  // rows of cells, UTF-8 text

// The limits of the format; rows and columns beyond them are left out, longer cells are cut.
constexpr std::size_t kXlsMaxRows = 65536;
constexpr std::size_t kXlsMaxColumns = 256;
constexpr std::size_t kXlsMaxCellCharacters = 4000;

// The bytes of the .xls file.
std::string xls_workbook(const SheetRows& rows, std::string_view sheet_name_utf8 = u8"Sheet1");

}  // namespace qw
