#include "Output.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

#include "platform/Console.h"
#include "text/UnicodeString.h"

namespace norvalis::cli {

void Output::Flush() {
  if (buffer_.empty()) return;
  platform::WriteStandardOutput(buffer_);
  buffer_.clear();
}

void Output::TsvField(std::u16string_view cell) {
  AppendTsvFieldUtf8(cell, buffer_);
  if (buffer_.size() >= FlushBytes) Flush();
}

void AppendTsvFieldUtf8(std::u16string_view cell, std::string& out) {
  const bool quoted = cell.find_first_of(u"\t\r\n\"") != std::u16string_view::npos;
  if (quoted) out += '"';
  for (std::size_t i = 0; i < cell.size(); ++i) {
    char32_t u = cell[i];
    if (u < 0x80) {
      if (u == u'"' && quoted) out += '"';
      out += static_cast<char>(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < cell.size() && cell[i + 1] >= 0xDC00 &&
        cell[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (cell[++i] - 0xDC00);
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  if (quoted) out += '"';
}

namespace {

// Equal bytes, by a loop for the short cells most are (a call to memcmp costs more there).
bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() >= 8 && a.size() <= 16) {
    // Two loads of 8 bytes a side, overlapping: no call and no loop for a short cell.
    const auto word = [](const char* p) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      return w;
    };
    const std::size_t n = a.size();
    return ((word(a.data()) ^ word(b.data())) |
            (word(a.data() + n - 8) ^ word(b.data() + n - 8))) == 0;
  }
  if (a.size() > 16) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

const TsvCell& TsvCells::Of(std::string_view raw) {
  if (last_ < Slots && SameBytes(slots_[last_].raw, raw)) return slots_[last_].cell;
  last_ = std::hash<std::string_view>{}(raw) % Slots;
  Slot& slot = slots_[last_];
  if (slot.known && SameBytes(slot.raw, raw)) return slot.cell;
  slot.raw.assign(raw);
  slot.known = true;
  table_->CellText(raw, slot.cell.text);
  slot.cell.field.clear();
  AppendTsvFieldUtf8(slot.cell.text, slot.cell.field);
  return slot.cell;
}

unsigned FormatThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

void PutInOrder(
    Output& out, std::size_t count,
    const std::function<void(unsigned, std::size_t, std::size_t, std::string&)>& format) {
  constexpr std::size_t PieceItems = std::size_t{1} << 15;
  const unsigned threads = FormatThreads();
  // A round is cut into more pieces than threads, each taken by whichever thread is free, so
  // the thread that writes the round before formats fewer of them and none waits for it.
  const std::size_t roundPieces = std::size_t{8} * threads;
  // Two rounds of texts: the one before is written while this one is formatted.
  std::vector<std::string> texts[2] = {std::vector<std::string>(roundPieces),
                                       std::vector<std::string>(roundPieces)};
  const auto write = [](const std::vector<std::string>& round) {
    for (const std::string& text : round)
      platform::WriteStandardOutput(text);
  };
  out.Flush();
  std::size_t round = 0;
  for (std::size_t at = 0; at < count; at += PieceItems * roundPieces, ++round) {
    std::vector<std::string>& mine = texts[round % 2];
    std::atomic<std::size_t> next{0};
    const auto run = [&](unsigned t) {
      for (std::size_t piece = next++; piece < roundPieces; piece = next++) {
        const std::size_t begin = std::min(count, at + piece * PieceItems);
        mine[piece].clear();
        format(t, begin, std::min(count, begin + PieceItems), mine[piece]);
      }
    };
    std::vector<std::jthread> workers;
    for (unsigned t = 1; t < threads; ++t)
      workers.emplace_back(run, t);
    if (round > 0) write(texts[(round - 1) % 2]);
    run(0);
  }
  if (round > 0) write(texts[(round - 1) % 2]);
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
