#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "PersistenceTestSupport.h"
#include "persistence/AnsiCodePage.h"
#include "persistence/IniFile.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using testing::ReadBytes;
using testing::Utf16Be;
using testing::Utf16Le;
using testing::WriteBytes;

class IniFileTest : public test::TempDirTest {
 protected:
  // A document read from a file holding bytes.
  TMemIniFile Open(std::string_view bytes,
                   std::optional<TIniEncoding> encoding = std::nullopt) const {
    WriteBytes(Path("doc.ini"), bytes);
    return TMemIniFile(UPath("doc.ini"), encoding);
  }
};

struct IntegerCase {
  const char16_t* text;
  std::optional<std::int32_t> expected;
};

TEST(IniIntegerRules, ParsesTheDecimalAndHexadecimalForms) {
  const IntegerCase cases[] = {
      {u"0", 0},
      {u"5", 5},
      {u"-5", -5},
      {u"+7", 7},
      {u"007", 7},
      {u"  42", 42},
      {u" -3", -3},
      {u"2147483647", 2147483647},
      {u"-2147483648", INT32_MIN},
      {u"0x1F", 31},
      {u"0X1f", 31},
      {u"$1F", 31},
      {u"x10", 16},
      {u"X10", 16},
      {u"-$10", -16},
      {u"+0x10", 16},
      {u" 0x10", 16},
      {u"$7FFFFFFF", 2147483647},
      // Hexadecimal digits are a 32-bit pattern: above 7FFFFFFF they wrap to negative.
      {u"$FFFFFFFF", -1},
      {u"0x80000000", INT32_MIN},
      {u"$000000001", 1},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    EXPECT_EQ(ParseIniInteger(c.text), c.expected);
  }
}

TEST(IniIntegerRules, RejectsTextsThatDoNotParseOrFit) {
  const char16_t* const texts[] = {
      u"",    u"5a",         u"a5",          u"true",       u"-",           u"+",
      u"$",   u"x",          u"0x",          u"0x 1F",      u"0x-1",        u"1 ",
      u"5.0", u"2147483648", u"-2147483649", u"$100000000", u"0x1FFFFFFFF", u"99999999999",
      u"\t5", u"--5",        u"０",          u"$G",         u"1e3",
  };
  for (const char16_t* text : texts) {
    SCOPED_TRACE(ToUtf8(text));
    EXPECT_EQ(ParseIniInteger(text), std::nullopt);
  }
}

TEST_F(IniFileTest, ReadsSectionsKeysAndValuesByTheTextRules) {
  const TMemIniFile ini = Open(
      "before=dropped\r\n[ Main ]\r\n; comment=ignored\r\n  key one  =  value with spaces  \r\n"
      "empty=\neq=a=b\rquoted=\"x\"\r\n\t\r\n[Other]\nk=v");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Main", u"key one", u"?")), "value with spaces");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Main", u"empty", u"?")), "");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Main", u"eq", u"?")), "a=b");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Main", u"quoted", u"?")), "\"x\"");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Other", u"k", u"?")), "v");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Main", u"before", u"default")), "default");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Main", u"; comment", u"default")), "default");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"Missing", u"k", u"default")), "default");
  EXPECT_EQ(ToUtf8(ini.Text()),
            "[Main]\r\nkey one=value with spaces\r\nempty=\r\neq=a=b\r\nquoted=\"x\"\r\n\r\n"
            "[Other]\r\nk=v\r\n\r\n");
}

TEST_F(IniFileTest, LooksUpWithoutRegardToCaseAndFindsTheLastOccurrence) {
  const TMemIniFile ini = Open(
      "[csv]\r\nfilename=first\r\nFileName=second\r\n"
      "[TASK]\r\nCOL=1\r\n"
      "[Task]\r\nnote=x\r\n");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"CSV", u"FILENAME", u"")), "second");
  // The later "Task" hides the earlier one entirely.
  EXPECT_EQ(ini.ReadInteger(u"TASK", u"COL", -1), -1);
  EXPECT_EQ(ToUtf8(ini.ReadString(u"task", u"NOTE", u"")), "x");
}

TEST_F(IniFileTest, LineWithoutEqualsIsKeptButNeverFoundAsAKey) {
  TMemIniFile ini = Open("[S]\r\nplain line\r\nk=v\r\n");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"S", u"plain line", u"default")), "default");
  ini.WriteString(u"S", u"plain line", u"now");
  EXPECT_EQ(ToUtf8(ini.Text()), "[S]\r\nplain line\r\nk=v\r\nplain line=now\r\n\r\n");
}

TEST_F(IniFileTest, ReadsIntegersAndBooleansWithTheirDefaults) {
  const TMemIniFile ini = Open(
      "[S]\r\nhex=0x1F\r\nbad=5a\r\nempty=\r\nneg=-12\r\nspaced = 5 \r\n"
      "t=true\r\ntwo=2\r\nzero=0\r\n");
  EXPECT_EQ(ini.ReadInteger(u"S", u"hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger(u"S", u"bad", 9), 9);
  EXPECT_EQ(ini.ReadInteger(u"S", u"empty", 9), 9);
  EXPECT_EQ(ini.ReadInteger(u"S", u"neg", 0), -12);
  EXPECT_EQ(ini.ReadInteger(u"S", u"spaced", 0), 5);
  EXPECT_EQ(ini.ReadInteger(u"S", u"missing", 77), 77);
  EXPECT_FALSE(ini.ReadBool(u"S", u"t", false));
  EXPECT_TRUE(ini.ReadBool(u"S", u"t", true));
  EXPECT_TRUE(ini.ReadBool(u"S", u"two", false));
  EXPECT_FALSE(ini.ReadBool(u"S", u"zero", true));
  EXPECT_TRUE(ini.ReadBool(u"S", u"missing", true));
  EXPECT_FALSE(ini.ReadBool(u"S", u"missing", false));
}

TEST_F(IniFileTest, WritingReplacesTheLastOccurrenceAndAppendsWhatIsNew) {
  TMemIniFile ini = Open("[A]\r\nk=1\r\nK=2\r\nz=3\r\n[B]\r\nx=1\r\n[a]\r\nk=4\r\n");
  ini.WriteString(u"A", u"k", u"new");
  ini.WriteInteger(u"B", u"y", -5);
  ini.WriteBool(u"C", u"flag", true);
  EXPECT_EQ(ToUtf8(ini.Text()),
            "[A]\r\nk=1\r\nK=2\r\nz=3\r\n\r\n"
            "[B]\r\nx=1\r\ny=-5\r\n\r\n"
            "[a]\r\nk=new\r\n\r\n"
            "[C]\r\nflag=1\r\n\r\n");
  // The first "A" is hidden by [a]: its z stays, the new key goes to [a].
  ini.WriteString(u"A", u"Z", u"added");
  EXPECT_EQ(ToUtf8(ini.ReadString(u"a", u"z", u"")), "added");
  EXPECT_EQ(ToUtf8(ini.Text()),
            "[A]\r\nk=1\r\nK=2\r\nz=3\r\n\r\n"
            "[B]\r\nx=1\r\ny=-5\r\n\r\n"
            "[a]\r\nk=new\r\nZ=added\r\n\r\n"
            "[C]\r\nflag=1\r\n\r\n");
}

TEST_F(IniFileTest, MissingFileOrEmptyNameGivesAnEmptyDocument) {
  const TMemIniFile missing(UPath("none.ini"));
  EXPECT_EQ(missing.Text(), u"");
  EXPECT_EQ(missing.Encoding(), std::nullopt);
  const TMemIniFile unnamed(u"");
  EXPECT_EQ(unnamed.Text(), u"");
  WriteBytes(Path("plain.ini"), "[S]\r\nk=v\r\n");
  const TMemIniFile underFile(UPath("plain.ini/deeper.ini"));
  EXPECT_EQ(underFile.Text(), u"");
}

struct EncodingCase {
  const char* name;
  std::string bytes;
  TIniEncoding expected;
};

TEST_F(IniFileTest, MarkDecidesTheEncodingAndIsKeptOnSave) {
  const std::u16string text = u"[S]\r\nk=表ソ\r\n\r\n";
  const EncodingCase cases[] = {
      {"UTF-16 LE", "\xFF\xFE" + Utf16Le(text), TIniEncoding::Utf16LE},
      {"UTF-16 BE", "\xFE\xFF" + Utf16Be(text), TIniEncoding::Utf16BE},
      {"UTF-8", "\xEF\xBB\xBF" + ToUtf8(text), TIniEncoding::Utf8},
      {"code page 932", "[S]\r\nk=\x95\x5C\x83\x5C\r\n\r\n", TIniEncoding::Ansi},
  };
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TMemIniFile ini = Open(c.bytes);
    EXPECT_EQ(ini.Encoding(), c.expected);
    EXPECT_EQ(ToUtf8(ini.ReadString(u"S", u"k", u"")), "表ソ");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(Path("doc.ini")), c.bytes);
  }
}

TEST_F(IniFileTest, FixedEncodingSkipsOnlyItsOwnMarkAndDecodesEverythingElse) {
  const TMemIniFile withMark = Open("\xFF\xFE" + Utf16Le(u"[S]\r\nk=v\r\n"), TIniEncoding::Utf16LE);
  EXPECT_EQ(ToUtf8(withMark.ReadString(u"S", u"k", u"")), "v");
  const TMemIniFile withoutMark = Open(Utf16Le(u"[S]\r\nk=v\r\n"), TIniEncoding::Utf16LE);
  EXPECT_EQ(ToUtf8(withoutMark.ReadString(u"S", u"k", u"")), "v");
  // UTF-8 bytes taken as UTF-16 LE pair up into characters that hold no section.
  const TMemIniFile other = Open("\xEF\xBB\xBF[S]\r\nk=v\r\n", TIniEncoding::Utf16LE);
  EXPECT_EQ(ToUtf8(other.ReadString(u"S", u"k", u"none")), "none");
  EXPECT_EQ(other.Encoding(), TIniEncoding::Utf16LE);
}

TEST_F(IniFileTest, NewDocumentIsSavedInCodePage932WithoutMark) {
  TMemIniFile ini(UPath("new.ini"));
  ini.WriteString(u"S", u"path", u"C:\\データ\\表.csv");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(Path("new.ini")),
            "[S]\r\npath=C:\\\x83\x66\x81\x5B\x83\x5E\\\x95\x5C.csv\r\n\r\n");
}

TEST_F(IniFileTest, CodePage932DocumentWithAnUnmappableCharacterIsSavedAsUtf8WithMark) {
  const char16_t* const values[] = {
      u"/home/u/😀.NVS",       // outside the BMP
      u"/home/u/café.NVS",    // é has no code in 932
      u"/home/u/¥100.NVS",    // iconv writes 5C for it, which reads back as a backslash
      u"/home/u/〜wave.NVS",  // shares its code with the full-width tilde
  };
  for (const char16_t* value : values) {
    SCOPED_TRACE(ToUtf8(value));
    TMemIniFile ini = Open("[S]\r\nk=old\r\n");
    ini.WriteString(u"S", u"k", value);
    ini.UpdateFile();
    const std::string expected = "\xEF\xBB\xBF[S]\r\nk=" + ToUtf8(value) + "\r\n\r\n";
    EXPECT_EQ(ReadBytes(Path("doc.ini")), expected);
    const TMemIniFile reread(UPath("doc.ini"));
    EXPECT_EQ(ToUtf8(reread.ReadString(u"S", u"k", u"")), ToUtf8(value));
  }
}

TEST(AnsiCodePage, EncodesOnlyWhatReadsBackUnchanged) {
  EXPECT_EQ(EncodeAnsiCodePage(u"A表ｱ①"), std::optional<AnsiString>("A\x95\x5C\xB1\x87\x40"));
  EXPECT_EQ(EncodeAnsiCodePage(u""), std::optional<AnsiString>(""));
  EXPECT_EQ(EncodeAnsiCodePage(u"é"), std::nullopt);
  EXPECT_EQ(EncodeAnsiCodePage(u"¥"), std::nullopt);
  EXPECT_EQ(EncodeAnsiCodePage(u"𠮷"), std::nullopt);
  EXPECT_EQ(EncodeAnsiCodePage(UnicodeString(1, u'\xD800')), std::nullopt);
}

TEST_F(IniFileTest, UnreadableFileRaisesTheFileOpenError) {
  // A socket exists but cannot be opened, also for root.
  const std::string path = Path("socket.ini");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  try {
    TMemIniFile ini(UPath("socket.ini"));
    ADD_FAILURE() << "no exception";
  } catch (const EFOpenError& error) {
    EXPECT_EQ(error.Message(), u"ファイル " + UPath("socket.ini") + u" は開けません。 " +
                                   SystemErrorText(ENXIO) + u" ");
  }
  close(fd);
}

}  // namespace
}  // namespace norvalis
