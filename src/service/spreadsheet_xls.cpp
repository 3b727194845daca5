#include "service/spreadsheet_xls.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "common/codepage.h"

namespace qw {
namespace {

// Little-endian writing into a growing byte string.
class ByteWriter {
 public:
  void u8(std::uint8_t value) { bytes_ += static_cast<char>(value); }
  void u16(std::uint16_t value) {
    u8(value & 0xFF);
    u8(value >> 8);
  }
  void u32(std::uint32_t value) {
    u16(value & 0xFFFF);
    u16(value >> 16);
  }
  void raw(std::string_view data) { bytes_.append(data); }
  void utf16(std::u16string_view text) {
    for (const char16_t c : text) u16(static_cast<std::uint16_t>(c));
  }
  void zeros(std::size_t count) { bytes_.append(count, '\0'); }
  std::size_t size() const { return bytes_.size(); }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// ---- BIFF8 records ----

constexpr std::size_t kMaxRecordData = 8224;

void record(ByteWriter& out, std::uint16_t type, const std::string& data) {
  out.u16(type);
  out.u16(static_cast<std::uint16_t>(data.size()));
  out.raw(data);
}

std::string bof(std::uint16_t substream_type) {
  ByteWriter data;
  data.u16(0x0600);          // BIFF8
  data.u16(substream_type);  // 0x0005 workbook globals, 0x0010 worksheet
  data.u16(0x0DBB);          // build
  data.u16(0x07CC);          // year
  data.u32(0);
  data.u32(0x00000006);  // lowest version that can read the file
  return data.bytes();
}

std::string font_record() {
  ByteWriter data;
  data.u16(220);     // 11 points, in twentieths
  data.u16(0);       // no attributes
  data.u16(0x7FFF);  // automatic colour
  data.u16(400);     // normal weight
  data.u16(0);
  data.u8(0);
  data.u8(0);
  data.u8(0x86);  // GB 2312 character set, so the font is picked for Chinese
  data.u8(0);
  const std::u16string name = u"宋体";
  data.u8(static_cast<std::uint8_t>(name.size()));
  data.u8(1);  // UTF-16 characters
  data.utf16(name);
  return data.bytes();
}

std::string xf_record(bool style) {
  ByteWriter data;
  data.u16(0);                         // font 0
  data.u16(0);                         // "General" number format
  data.u16(style ? 0xFFF5 : 0x0001);   // style XF (locked, no parent) or cell XF based on style 0
  data.u8(0x20);                       // general alignment, bottom
  data.u8(0);
  data.u8(0);
  data.u8(0);
  data.u32(0);
  data.u32(0);
  data.u16(0x20C0);  // default pattern colours
  return data.bytes();
}

std::string short_unicode_string(std::u16string_view text) {
  ByteWriter data;
  data.u8(static_cast<std::uint8_t>(text.size()));
  data.u8(1);
  data.utf16(text);
  return data.bytes();
}

// The shared strings of the cells, in order of first use.
struct StringTable {
  std::vector<std::u16string> strings;
  std::map<std::u16string, std::uint32_t> index_of;
  std::uint32_t references = 0;

  std::uint32_t add(std::u16string text) {
    ++references;
    const auto found = index_of.find(text);
    if (found != index_of.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(strings.size());
    index_of.emplace(text, index);
    strings.push_back(std::move(text));
    return index;
  }
};

// SST with its CONTINUE records. Every string fits one record (cells are cut to
// kXlsMaxCellCharacters), so a new record always starts at a string boundary and no string is split.
void string_table_records(ByteWriter& out, const StringTable& table) {
  ByteWriter data;
  data.u32(table.references);
  data.u32(static_cast<std::uint32_t>(table.strings.size()));
  std::uint16_t type = 0x00FC;
  for (const std::u16string& text : table.strings) {
    ByteWriter entry;
    entry.u16(static_cast<std::uint16_t>(text.size()));
    entry.u8(1);
    entry.utf16(text);
    if (data.size() + entry.size() > kMaxRecordData) {
      record(out, type, data.bytes());
      data = ByteWriter();
      type = 0x003C;
    }
    data.raw(entry.bytes());
  }
  record(out, type, data.bytes());
}

std::u16string cell_text(const std::string& utf8) {
  std::u16string text = to_utf16(utf8, kCodePageUtf8);
  if (text.size() > kXlsMaxCellCharacters) text.resize(kXlsMaxCellCharacters);
  return text;
}

std::string workbook_stream(const SheetRows& rows, std::string_view sheet_name_utf8) {
  constexpr std::uint16_t kCellFormat = 15;  // the first XF after the 15 style XFs
  StringTable table;
  struct Cell {
    std::uint16_t row, column;
    std::uint32_t string_index;
  };
  std::vector<Cell> cells;
  std::size_t column_count = 0;
  const std::size_t row_count = std::min(rows.size(), kXlsMaxRows);
  for (std::size_t r = 0; r < row_count; ++r) {
    const std::size_t columns = std::min(rows[r].size(), kXlsMaxColumns);
    column_count = std::max(column_count, columns);
    for (std::size_t c = 0; c < columns; ++c) {
      if (rows[r][c].empty()) continue;
      cells.push_back({static_cast<std::uint16_t>(r), static_cast<std::uint16_t>(c), table.add(cell_text(rows[r][c]))});
    }
  }

  ByteWriter globals;
  record(globals, 0x0809, bof(0x0005));
  {
    ByteWriter codepage;
    codepage.u16(1200);  // strings are UTF-16
    record(globals, 0x0042, codepage.bytes());
  }
  {
    ByteWriter window;
    window.u16(0);
    window.u16(0);
    window.u16(0x4000);
    window.u16(0x2000);
    window.u16(0x0038);
    window.u16(0);
    window.u16(0);
    window.u16(1);
    window.u16(0x0258);
    record(globals, 0x003D, window.bytes());
  }
  // Font index 4 does not exist in the format, so five records give the indices 0 to 3 and 5.
  for (int i = 0; i < 5; ++i) record(globals, 0x0031, font_record());
  for (int i = 0; i < 15; ++i) record(globals, 0x00E0, xf_record(true));
  record(globals, 0x00E0, xf_record(false));
  {
    ByteWriter style;
    style.u16(0x8000);  // built-in style on XF 0
    style.u8(0);        // "Normal"
    style.u8(0xFF);
    record(globals, 0x0293, style.bytes());
  }
  std::u16string sheet_name = to_utf16(sheet_name_utf8, kCodePageUtf8);
  if (sheet_name.empty() || sheet_name.size() > 31) sheet_name = u"Sheet1";
  const std::size_t sheet_offset_position = globals.size() + 4;
  {
    ByteWriter sheet;
    sheet.u32(0);  // offset of the sheet's BOF, filled in below
    sheet.u8(0);   // visible
    sheet.u8(0);   // worksheet
    sheet.raw(short_unicode_string(sheet_name));
    record(globals, 0x0085, sheet.bytes());
  }
  string_table_records(globals, table);
  record(globals, 0x000A, "");

  const auto sheet_offset = static_cast<std::uint32_t>(globals.size());
  for (int i = 0; i < 4; ++i) {
    globals.bytes()[sheet_offset_position + i] = static_cast<char>((sheet_offset >> (8 * i)) & 0xFF);
  }
  ByteWriter& out = globals;
  record(out, 0x0809, bof(0x0010));
  {
    ByteWriter dimensions;
    dimensions.u32(0);
    dimensions.u32(static_cast<std::uint32_t>(row_count));
    dimensions.u16(0);
    dimensions.u16(static_cast<std::uint16_t>(column_count));
    dimensions.u16(0);
    record(out, 0x0200, dimensions.bytes());
  }
  for (const Cell& cell : cells) {
    ByteWriter label;
    label.u16(cell.row);
    label.u16(cell.column);
    label.u16(kCellFormat);
    label.u32(cell.string_index);
    record(out, 0x00FD, label.bytes());
  }
  {
    ByteWriter window;
    window.u16(0x06B6);  // grid, headers, zeros, default header colour, outline, selected, paged
    window.u16(0);
    window.u16(0);
    window.u32(0x40);
    window.u16(0);
    window.u16(0);
    window.u32(0);
    record(out, 0x023E, window.bytes());
  }
  record(out, 0x000A, "");
  return std::move(out.bytes());
}

// ---- OLE compound file (version 3, 512-byte sectors) holding one stream, "Workbook" ----

constexpr std::size_t kSectorSize = 512;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::size_t kHeaderFatEntries = 109;

void directory_entry(ByteWriter& out, std::u16string_view name, std::uint8_t type, std::uint32_t child,
                     std::uint32_t start_sector, std::uint32_t size) {
  out.utf16(name);
  out.zeros(64 - name.size() * 2);
  out.u16(name.empty() ? 0 : static_cast<std::uint16_t>((name.size() + 1) * 2));
  out.u8(type);
  out.u8(type == 0 ? 0 : 1);  // black, for the entries in use
  out.u32(kNoStream);
  out.u32(kNoStream);
  out.u32(child);
  out.zeros(16 + 4 + 8 + 8);  // class id, state bits, creation and modification times
  out.u32(start_sector);
  out.u32(size);
  out.u32(0);
}

std::string compound_file(std::string stream) {
  // A stream below the cutoff would belong in the mini stream; padding it keeps the file to the
  // plain sector chain that every reader handles.
  if (stream.size() < kMiniStreamCutoff) stream.resize(kMiniStreamCutoff, '\0');
  stream.resize((stream.size() + kSectorSize - 1) / kSectorSize * kSectorSize, '\0');
  const std::size_t stream_sectors = stream.size() / kSectorSize;
  const std::size_t entries_per_fat_sector = kSectorSize / 4;
  std::size_t fat_sectors = 1;
  while ((stream_sectors + 1 + fat_sectors + entries_per_fat_sector - 1) / entries_per_fat_sector > fat_sectors) {
    ++fat_sectors;
  }
  if (fat_sectors > kHeaderFatEntries) return {};  // over 7 MB: not for a table of text lines
  const auto directory_sector = static_cast<std::uint32_t>(stream_sectors);
  const auto first_fat_sector = static_cast<std::uint32_t>(stream_sectors + 1);

  ByteWriter file;
  file.raw(std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
  file.zeros(16);
  file.u16(0x003E);
  file.u16(0x0003);
  file.u16(0xFFFE);
  file.u16(9);  // 512-byte sectors
  file.u16(6);  // 64-byte mini sectors
  file.zeros(6);
  file.u32(0);  // directory sectors (always 0 in version 3)
  file.u32(static_cast<std::uint32_t>(fat_sectors));
  file.u32(directory_sector);
  file.u32(0);
  file.u32(static_cast<std::uint32_t>(kMiniStreamCutoff));
  file.u32(kEndOfChain);  // no mini FAT
  file.u32(0);
  file.u32(kEndOfChain);  // no DIFAT sectors
  file.u32(0);
  for (std::size_t i = 0; i < kHeaderFatEntries; ++i) {
    file.u32(i < fat_sectors ? first_fat_sector + static_cast<std::uint32_t>(i) : kFreeSector);
  }

  file.raw(stream);

  directory_entry(file, u"Root Entry", 5, 1, kEndOfChain, 0);
  directory_entry(file, u"Workbook", 2, kNoStream, 0, static_cast<std::uint32_t>(stream.size()));
  directory_entry(file, u"", 0, kNoStream, 0, 0);
  directory_entry(file, u"", 0, kNoStream, 0, 0);

  std::size_t fat_entries = 0;
  for (std::size_t i = 0; i < stream_sectors; ++i, ++fat_entries) {
    file.u32(i + 1 < stream_sectors ? static_cast<std::uint32_t>(i + 1) : kEndOfChain);
  }
  file.u32(kEndOfChain);  // the directory's one sector
  ++fat_entries;
  for (std::size_t i = 0; i < fat_sectors; ++i, ++fat_entries) file.u32(kFatSector);
  for (; fat_entries < fat_sectors * entries_per_fat_sector; ++fat_entries) file.u32(kFreeSector);
  return std::move(file.bytes());
}

}  // namespace

std::string xls_workbook(const SheetRows& rows, std::string_view sheet_name_utf8) {
  return compound_file(workbook_stream(rows, sheet_name_utf8));
}

}  // namespace qw
