#include "Output.h"

#include "platform/Console.h"
#include "text/UnicodeString.h"

namespace norvalis::cli {

void Output::Flush() {
  if (buffer_.empty()) return;
  platform::WriteStandardOutput(buffer_);
  buffer_.clear();
}

void Output::TsvField(std::u16string_view cell) {
  const bool quoted = cell.find_first_of(u"\t\r\n\"") != std::u16string_view::npos;
  if (quoted) buffer_ += '"';
  for (std::size_t i = 0; i < cell.size(); ++i) {
    char32_t u = cell[i];
    if (u < 0x80) {
      if (u == u'"' && quoted) buffer_ += '"';
      buffer_ += static_cast<char>(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < cell.size() && cell[i + 1] >= 0xDC00 &&
        cell[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (cell[++i] - 0xDC00);
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(buffer_, u);
  }
  if (quoted) buffer_ += '"';
  if (buffer_.size() >= FlushBytes) Flush();
}

void PrintError(std::string_view message) {
  std::string line(message);
  line += '\n';
  platform::WriteStandardError(line);
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_.Put('"');
  out_.Put(name);
  out_.Put("\":");
  afterKey_ = true;
}

void JsonWriter::String(std::u16string_view text) {
  BeforeValue();
  PutString(text);
}

void JsonWriter::Number(long long value) {
  BeforeValue();
  out_.Put(std::to_string(value));
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_.Put(value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_.Put("null");
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (written_.empty()) return;
  if (written_.back()) out_.Put(',');
  written_.back() = true;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_.Put(bracket);
  written_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  written_.pop_back();
  out_.Put(bracket);
}

void JsonWriter::PutString(std::u16string_view text) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  out_.Put('"');
  for (const char16_t u : text) {
    if (u >= 0x20 && u <= 0x7E && u != u'"' && u != u'\\') {
      out_.Put(static_cast<char>(u));
      continue;
    }
    const char escape[6] = {
        '\\', 'u', Hex[(u >> 12) & 0xF], Hex[(u >> 8) & 0xF], Hex[(u >> 4) & 0xF], Hex[u & 0xF]};
    out_.Put(std::string_view(escape, 6));
  }
  out_.Put('"');
}

}  // namespace norvalis::cli
