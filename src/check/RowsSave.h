#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// How a table's rows are written out.
enum class RowsSaveForm {
  FileBytes,     // byte for byte as the file holds them: encoding, mark and line ends
  Utf8WithMark,  // as UTF-8 with a byte-order mark, for content that was decoded first
};
RowsSaveForm RowsSaveFormOf(const CsvTable& table);
// What the save dialog says of the form.
UnicodeString RowsSaveFormText(RowsSaveForm form);

// The text when the target is the open file itself, under whatever name.
inline constexpr char16_t SaveOverOpenFileText[] =
    u"開いているCSVファイルには保存できません。別のファイル名を指定してください。";

struct RowsSaveResult {
  bool ok = false;
  bool cancelled = false;  // stopped by the cancel flag: nothing was written
  UnicodeString message;   // the Japanese text of a failure
  std::uint64_t rows = 0;  // lines written (the title line included)
  std::uint64_t bytes = 0;
};

// Writes the table's rows (table rows, in the order given) to a new file at path, the title
// line first when titleFirst, in RowsSaveFormOf(table). All or nothing: the file appears
// whole, or an existing one stays as it was. Refuses the file the table was read from
// (through a link or another name too), and a table whose file changed under it. The hook
// gets (rows written, rows).
RowsSaveResult SaveRows(const CsvTable& table, std::span<const std::uint32_t> rows, bool titleFirst,
                        const UnicodeString& path, YieldHook* hook = nullptr,
                        const std::atomic<bool>* cancel = nullptr);

}  // namespace norvalis
