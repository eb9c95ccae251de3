// The INI document: any file opens; values written are read back at once, and after a save
// and a fresh open; a saved document reads back as the same text.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "FuzzInput.h"
#include "persistence/IniFile.h"

using namespace norvalis;

namespace {

// Names without blanks at the ends, line breaks, "=" or a leading ";" or "[": such names
// survive a save unchanged. Some differ only in case and so name the same entry.
constexpr const char16_t* Sections[] = {u"CSV",     u"csv",        u"TASK", u"Startup",
                                        u"STARTUP", u"セクション", u"a]b",  u""};
constexpr const char16_t* Keys[] = {u"FILENAME", u"filename", u"COL", u"Key",     u"キー",
                                    u"a b",      u"x;y",      u"]",   u"HISTORY", u""};

// The model's name for an entry: ASCII letters folded, as the pool holds no others.
UnicodeString folded(std::u16string_view name) {
  UnicodeString out(name);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
  }
  return out;
}

// A value that an INI line keeps: no CR or LF, no lone surrogate, no blanks at the ends.
UnicodeString valueOf(const std::string& bytes) {
  UnicodeString value = fuzz::TextOfBytes(bytes, false);
  for (std::size_t i = 0; i < value.size(); ++i) {
    char16_t& c = value[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (c == u'\r' || c == u'\n' || high || low) c = u'x';
  }
  std::size_t begin = 0;
  std::size_t end = value.size();
  while (begin < end && value[begin] <= 32)
    ++begin;
  while (end > begin && value[end - 1] <= 32)
    --end;
  return value.substr(begin, end - begin);
}

std::string scratchFolder;

void removeScratchFolder() {
  unlink((scratchFolder + "/doc.ini").c_str());
  rmdir(scratchFolder.c_str());
}

// A file in memory where there is a RAM disk: every save syncs, and runs are many.
const std::string& scratchFile() {
  static const std::string path = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchFolder = std::string(base) + "/norvalis-fuzz-ini-XXXXXX";
    if (mkdtemp(scratchFolder.data()) == nullptr) fuzz::Fail("no scratch folder");
    std::atexit(removeScratchFolder);
    return scratchFolder + "/doc.ini";
  }();
  return path;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  fuzz::Require(out.good(), "cannot write the scratch file");
}

using Model = std::map<std::pair<UnicodeString, UnicodeString>, UnicodeString>;

struct Entry {
  const char16_t* section;
  const char16_t* key;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int encodingChoice = input.ConsumeIntegralInRange<int>(0, 4);
  std::optional<TIniEncoding> encoding;
  if (encodingChoice > 0) encoding = static_cast<TIniEncoding>(encodingChoice - 1);
  const std::string& path = scratchFile();
  writeFile(path, input.ConsumeRandomLengthString(4096));

  TMemIniFile ini(FromUtf8(path), encoding);
  Model model;
  std::map<std::pair<UnicodeString, UnicodeString>, Entry> names;
  while (input.remaining_bytes() > 0) {
    const Entry entry{
        Sections[input.ConsumeIntegralInRange<std::size_t>(0, std::size(Sections) - 1)],
        Keys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(Keys) - 1)]};
    const auto id = std::make_pair(folded(entry.section), folded(entry.key));
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
      case 0: {
        const UnicodeString value = valueOf(input.ConsumeRandomLengthString(64));
        ini.WriteString(entry.section, entry.key, value);
        model[id] = value;
        names.insert_or_assign(id, entry);
        break;
      }
      case 1: {
        const std::int32_t number = input.ConsumeIntegral<std::int32_t>();
        ini.WriteInteger(entry.section, entry.key, number);
        fuzz::Require(ini.ReadInteger(entry.section, entry.key, 0) == number, "integer read");
        const std::string digits = std::to_string(number);
        model[id] = UnicodeString(digits.begin(), digits.end());
        names.insert_or_assign(id, entry);
        break;
      }
      case 2: {
        const bool flag = input.ConsumeBool();
        ini.WriteBool(entry.section, entry.key, flag);
        fuzz::Require(ini.ReadBool(entry.section, entry.key, !flag) == flag, "boolean read");
        model[id] = flag ? u"1" : u"0";
        names.insert_or_assign(id, entry);
        break;
      }
      default: {
        const UnicodeString read = ini.ReadString(entry.section, entry.key, u"\x01");
        const auto found = model.find(id);
        if (found != model.end()) fuzz::Require(read == found->second, "value read back");
        ini.ReadInteger(entry.section, entry.key, 7);
        break;
      }
    }
  }

  const UnicodeString text = ini.Text();
  ini.UpdateFile();
  const TMemIniFile reopened(FromUtf8(path));
  fuzz::Require(reopened.Text() == text, "saved document reads back differently");
  for (const auto& [id, value] : model) {
    const Entry& entry = names.at(id);
    fuzz::Require(reopened.ReadString(entry.section, entry.key, u"\x01") == value,
                  "value after save and reopen");
  }
  return 0;
}
