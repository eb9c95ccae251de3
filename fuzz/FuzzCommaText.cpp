// Comma text both ways: a list written and read gives the list back; a text read, written
// and read again gives the same list.

#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "persistence/StringList.h"

using namespace norvalis;

namespace {

std::vector<UnicodeString> entriesOf(const TStringList& list) {
  std::vector<UnicodeString> entries;
  for (int i = 0; i < list.Count(); ++i)
    entries.push_back(list[i]);
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool pairs = (data[0] & 1) != 0;
  const UnicodeString text = fuzz::TextOfBytes(fuzz::AsBytes(data + 1, size - 1), pairs);

  // Reading, writing, reading again.
  TStringList read;
  read.SetCommaText(text);
  TStringList reread;
  reread.SetCommaText(read.CommaText());
  fuzz::Require(entriesOf(reread) == entriesOf(read), "comma text of a read list");

  // Writing a list and reading it: entries are cut at U+0001 here, and hold no U+0000, which
  // ends a comma text.
  TStringList list;
  UnicodeString entry;
  for (const char16_t unit : text) {
    if (unit == 1) {
      list.Add(entry);
      entry.clear();
    } else {
      entry += unit == 0 ? u'0' : unit;
    }
  }
  list.Add(entry);
  TStringList back;
  back.SetCommaText(list.CommaText());
  fuzz::Require(entriesOf(back) == entriesOf(list), "list written and read back");
  return 0;
}
