#include "Output.h"

#include "platform/Console.h"

namespace norvalis::cli {

void Output::Flush() {
  if (buffer_.empty()) return;
  platform::WriteStandardOutput(buffer_);
  buffer_.clear();
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
