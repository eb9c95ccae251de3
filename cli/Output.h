#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
