#include "check/RowsSave.h"

#include <string>
#include <string_view>

#include "platform/FileStatus.h"
#include "platform/ReplacingFile.h"
#include "text/CodePage.h"
#include "text/Exception.h"
#include "text/FileState.h"

namespace norvalis {

namespace {

constexpr std::size_t RowsPerTick = 1 << 12;
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

// The code units of the content as bytes: one, or two in the file's order (the machine's for
// content decoded first).
struct Units {
  std::size_t size = 1;
  bool big = false;
  // Whether the unit at the end of line, `back` units from it, is c.
  bool At(std::string_view line, std::size_t back, char c) const {
    if (line.size() < back * size) return false;
    const std::string_view unit = line.substr(line.size() - back * size, size);
    if (size == 1) return unit[0] == c;
    return big ? unit[0] == '\0' && unit[1] == c : unit[0] == c && unit[1] == '\0';
  }
};

// Where the save runs: the rows' lines, gathered into runs of adjacent lines.
class LineWriter {
 public:
  LineWriter(const CsvTable& table, platform::ReplacingFile& file)
      : table_(table), file_(file), bytes_(table.HoldsFileBytes()) {
    const bool utf16 =
        table.CodePage() == CodePage::Utf16LE || table.CodePage() == CodePage::Utf16BE;
    units_.size = !bytes_ || utf16 ? 2 : 1;
    units_.big = bytes_ && table.CodePage() == CodePage::Utf16BE;
    const std::string_view first = table.RowLine(0);
    crlf_ = units_.At(first, 1, '\n') && units_.At(first, 2, '\r');
    if (!bytes_) text_.reserve(std::size_t{1} << 20);
  }

  int Line(std::uint32_t row, bool last) {
    std::string_view line = table_.RowLine(row);
    if (bytes_) {
      if (pending_.data() + pending_.size() == line.data() && !pending_.empty()) {
        pending_ = std::string_view(pending_.data(), pending_.size() + line.size());
      } else {
        if (const int error = FlushPending(); error != 0) return error;
        pending_ = line;
      }
      if (!last && !units_.At(line, 1, '\n')) return AddLineEnd();
      return 0;
    }
    // Decoded first: the UTF-16 units become UTF-8, line ends and all.
    const std::u16string_view units(reinterpret_cast<const char16_t*>(line.data()),
                                    line.size() / 2);
    AppendUtf8(text_, units);
    if (!last && (units.empty() || units.back() != u'\n')) text_ += crlf_ ? "\r\n" : "\n";
    if (text_.size() >= (std::size_t{1} << 20)) return FlushText();
    return 0;
  }

  int Finish() { return bytes_ ? FlushPending() : FlushText(); }

 private:
  // The only line without an end is the last of the file; written before another, it gets the
  // file's own line end.
  int AddLineEnd() {
    if (const int error = FlushPending(); error != 0) return error;
    std::string end;
    for (const char c : std::string_view(crlf_ ? "\r\n" : "\n")) {
      if (units_.size == 2 && units_.big) end += '\0';
      end += c;
      if (units_.size == 2 && !units_.big) end += '\0';
    }
    return file_.Write(end);
  }
  int FlushPending() {
    const int error = pending_.empty() ? 0 : file_.Write(pending_);
    pending_ = {};
    return error;
  }
  int FlushText() {
    const int error = file_.Write(text_);
    text_.clear();
    return error;
  }

  const CsvTable& table_;
  platform::ReplacingFile& file_;
  bool bytes_;
  Units units_;
  bool crlf_ = false;
  std::string_view pending_;
  std::string text_;
};

RowsSaveResult failed(UnicodeString message) {
  RowsSaveResult result;
  result.message = std::move(message);
  return result;
}

}  // namespace

RowsSaveForm RowsSaveFormOf(const CsvTable& table) {
  return table.HoldsFileBytes() ? RowsSaveForm::FileBytes : RowsSaveForm::Utf8WithMark;
}

UnicodeString RowsSaveFormText(RowsSaveForm form) {
  return form == RowsSaveForm::FileBytes
             ? u"元のファイルのバイトのまま (文字コード・改行を変えずに) 保存します。"
             : u"読み込み時に変換した内容を UTF-8 (BOM付き) で保存します。";
}

RowsSaveResult SaveRows(const CsvTable& table, std::span<const std::uint32_t> rows, bool titleFirst,
                        const UnicodeString& path, YieldHook* hook,
                        const std::atomic<bool>* cancel) {
  const std::string target = ToUtf8(path);
  if (const std::optional<platform::FileIdentity> open = table.SourceFileIdentity()) {
    platform::FileStatus status;
    if (platform::PathStatus(target, status) == 0 && status.identity == *open) {
      return failed(SaveOverOpenFileText);
    }
  }
  platform::ReplacingFile file;
  auto cannotCreate = [&](int error) {
    return failed(EFCreateError::ForPath(path, error).Message());
  };
  if (const int error = file.Begin(target); error != 0) return cannotCreate(error);

  const bool title = titleFirst && table.RowCount() > 0;
  const std::uint64_t total = rows.size() + (title ? 1 : 0);
  int error = file.Write(RowsSaveFormOf(table) == RowsSaveForm::FileBytes ? table.LeadingBytes()
                                                                          : Utf8Mark);
  LineWriter lines(table, file);
  if (error == 0 && title) error = lines.Line(0, rows.empty());
  if (hook != nullptr) hook->Force(0, total);
  for (std::size_t i = 0; i < rows.size() && error == 0; ++i) {
    error = lines.Line(rows[i], i + 1 == rows.size());
    if ((i % RowsPerTick) == RowsPerTick - 1) {
      if (cancel != nullptr && cancel->load()) {
        RowsSaveResult result;
        result.cancelled = true;
        return result;
      }
      if (hook != nullptr) hook->Tick(i + 1, total);
    }
  }
  if (error == 0) error = lines.Finish();
  // What a changed file gave is not its rows: nothing is saved then.
  const FileChange change = table.DiskChange();
  if (change.state == FileState::Changed) {
    return failed(FileChangeText(change) + u"\n行は保存していません。");
  }
  if (error == 0) error = file.Commit();
  if (error != 0) return cannotCreate(error);
  RowsSaveResult result;
  result.ok = true;
  result.rows = total;
  result.bytes = file.Written();
  return result;
}

}  // namespace norvalis
