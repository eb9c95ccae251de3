#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Csv.h"
#include "text/UnicodeString.h"

namespace norvalis::cli {

// Standard output in big blocks, so the dump of a large table costs few writes.
class Output {
 public:
  Output() = default;
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Put(char c) {
    buffer_ += c;
    if (buffer_.size() >= FlushBytes) Flush();
  }
  void Put(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= FlushBytes) Flush();
  }
  // One cell as UTF-8, as AppendTsvField writes it: as it is, or quoted when it holds a tab, a
  // line break or a quote (a lone surrogate becomes U+FFFD, as ToUtf8 has it).
  void TsvField(std::u16string_view cell);
  // A line of UTF-8 text and its line break.
  void Line(std::string_view text) {
    Put(text);
    Put('\n');
  }
  void Flush();

 private:
  static constexpr std::size_t FlushBytes = std::size_t{1} << 16;
  std::string buffer_;
};

// One cell as a field of a tab-separated line in UTF-8, appended: as it is, or quoted when it
// holds a tab, a line break or a quote (a lone surrogate becomes U+FFFD, as ToUtf8 has it).
void AppendTsvFieldUtf8(std::u16string_view cell, std::string& out);

// A cell's text and its field as AppendTsvFieldUtf8 writes it.
struct TsvCell {
  UnicodeString text;
  std::string field;
};

// Raw cells of a table as TSV fields. Raw forms repeat in a column, so the recent ones are
// remembered, each in a slot of its hash; the slot of the cell before is tried first, since
// a column often holds one value for many rows in a row. One per thread.
class TsvCells {
 public:
  explicit TsvCells(const CsvTable& table) : table_(&table), slots_(Slots) {}
  // The cell of the raw units, valid until the next call.
  const TsvCell& Of(std::string_view raw);

 private:
  static constexpr std::size_t Slots = 1 << 12;
  struct Slot {
    std::string raw;  // a copy: the cell it came from lies far away in the file
    bool known = false;
    TsvCell cell;
  };
  const CsvTable* table_;
  std::vector<Slot> slots_;
  std::size_t last_ = Slots;  // the slot of the cell before (an index: the object is copied)
};

// The lines of items [0, count) written in order, formatted on every core a few hundred
// thousand at a time: format(thread, begin, end, text) appends the lines of items [begin, end)
// to text (threads are numbered from 0 below Threads()).
void PutInOrder(
    Output& out, std::size_t count,
    const std::function<void(unsigned, std::size_t, std::size_t, std::string&)>& format);
// How many threads PutInOrder formats on.
unsigned FormatThreads();

// A line on standard error (a failure's message).
void PrintError(std::string_view message);

// JSON text with no spaces; commas between values are put by the writer. Strings are pure
// ASCII: every code unit outside U+0020..U+007E, the quote and the backslash is a \uXXXX
// escape, so any text (lone surrogates included) comes out lossless.
class JsonWriter {
 public:
  explicit JsonWriter(Output& out) : out_(out) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The key of the next value in an object.
  void Key(std::string_view name);
  void String(std::u16string_view text);
  void Number(long long value);
  void Bool(bool value);
  void Null();
  // Ends the document with a line break.
  void EndLine() { out_.Put('\n'); }

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void PutString(std::u16string_view text);

  Output& out_;
  // Per open object or array: whether a value was written in it yet.
  std::vector<bool> written_;
  bool afterKey_ = false;
};

}  // namespace norvalis::cli
