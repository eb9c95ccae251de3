#include "GenerateData.h"

#include <iconv.h>

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace norvalis::bench {
namespace {

constexpr std::array<std::string_view, 12> Prefectures = {"北海道", "青森県",   "岩手県", "宮城県",
                                                          "東京都", "神奈川県", "愛知県", "京都府",
                                                          "大阪府", "兵庫県",   "福岡県", "沖縄県"};
constexpr std::array<std::string_view, 12> Cities = {
    "札幌市中央区", "八戸市",       "盛岡市",     "仙台市青葉区", "千代田区",     "横浜市港北区",
    "名古屋市中区", "京都市左京区", "大阪市北区", "神戸市灘区",   "福岡市博多区", "那覇市"};
constexpr std::array<std::string_view, 16> Towns = {"旭町",     "本町",   "栄町",
                                                    "桜丘",     "緑が丘", "中央",
                                                    "西新宿",   "東雲",   "以下に掲載がない場合",
                                                    "大字山田", "若葉台", "港南",
                                                    "梅田",     "天神",   "青葉通",
                                                    "北浜"};
constexpr std::array<std::string_view, 12> KanaReadings = {
    "ｱｻﾋﾏﾁ",    "ﾎﾝﾁｮｳ", "ｻｶｴﾏﾁ",           "ｻｸﾗｶﾞｵｶ", "ﾐﾄﾞﾘｶﾞｵｶ", "ﾁｭｳｵｳ",
    "ﾆｼｼﾝｼﾞｭｸ", "ｼﾉﾉﾒ",  "ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ", "ﾜｶﾊﾞﾀﾞｲ", "ｳﾒﾀﾞ",     "ﾃﾝｼﾞﾝ"};
constexpr std::array<std::string_view, 8> Notes = {
    "（次のビルを除く）", "ひらがな表記", "カタカナ表記",    "丁目", "番地",
    "地階・階層不明",     "（その他）",   "全角ＡＢＣ１２３"};

// One line of the postal list's shape.
class PostalLineMaker {
 public:
  void Append(std::string& out) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%05u,\"%03u  \",\"%07u\",",
                  static_cast<unsigned>(rng_() % 48000 + 1000),
                  static_cast<unsigned>(rng_() % 1000), static_cast<unsigned>(rng_() % 10000000));
    out += digits;
    const std::size_t place = rng_() % Prefectures.size();
    const std::size_t town = rng_() % Towns.size();
    for (std::string_view part :
         {std::string_view("ﾎｯｶｲﾄﾞｳ"), KanaReadings[place % KanaReadings.size()],
          KanaReadings[town % KanaReadings.size()], Prefectures[place], Cities[place],
          Towns[town]}) {
      out += '"';
      out += part;
      out += "\",";
    }
    for (int flag = 0; flag < 6; ++flag) {
      out += static_cast<char>('0' + (rng_() % 4 == 0));
      out += flag < 5 ? "," : "\r\n";
    }
  }

 private:
  std::mt19937_64 rng_{20261209};
};

class LineMaker {
 public:
  explicit LineMaker(bool quoted) : quoted_(quoted) {}

  // Appends one line of 8 to 15 fields.
  void Append(std::string& out) {
    const int fields = static_cast<int>(rng_() % 8) + 8;
    for (int i = 0; i < fields; ++i) {
      if (i != 0) out += ',';
      if (quoted_) out += '"';
      AppendField(out, i);
      if (quoted_) out += '"';
    }
    out += quoted_ ? "\r\n" : "\n";
  }

 private:
  template <std::size_t N>
  std::string_view Pick(const std::array<std::string_view, N>& pool) {
    return pool[rng_() % N];
  }

  void AppendDigits(std::string& out, int count) {
    for (int i = 0; i < count; ++i)
      out += static_cast<char>('0' + rng_() % 10);
  }

  void AppendField(std::string& out, int index) {
    switch (index) {
      case 0:
        AppendDigits(out, 5);
        break;
      case 1:
        AppendDigits(out, 7);
        break;
      case 2:
        out += Pick(KanaReadings);
        break;
      case 3:
        out += Pick(Prefectures);
        break;
      case 4:
        out += Pick(Cities);
        break;
      case 5:
        out += Pick(Towns);
        break;
      case 6:
        out += Pick(Notes);
        break;
      default:
        out += static_cast<char>('0' + rng_() % 2);
        break;
    }
  }

  bool quoted_;
  std::mt19937_64 rng_{20261209};
};

// Converts UTF-8 to CP932 in one call per block.
std::string ToShiftJis(iconv_t cd, const std::string& utf8) {
  std::string out(utf8.size(), '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    throw std::runtime_error("iconv CP932 failed");
  }
  out.resize(out.size() - outLeft);
  return out;
}

template <class Lines>
void Write(const std::string& path, std::uint64_t bytes, bool shiftJis, Lines lines) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path);
  iconv_t cd = shiftJis ? iconv_open("CP932", "UTF-8") : iconv_t(-1);
  std::uint64_t written = 0;
  std::string block;
  while (written < bytes) {
    block.clear();
    while (block.size() < (1u << 20))
      lines.Append(block);
    const std::string encoded = shiftJis ? ToShiftJis(cd, block) : block;
    std::fwrite(encoded.data(), 1, encoded.size(), file);
    written += encoded.size();
  }
  if (shiftJis) iconv_close(cd);
  std::fclose(file);
}

}  // namespace

void WriteShiftJisQuoted(const std::string& path, std::uint64_t bytes) {
  Write(path, bytes, true, LineMaker(true));
}

void WriteUtf8Unquoted(const std::string& path, std::uint64_t bytes) {
  Write(path, bytes, false, LineMaker(false));
}

void WritePostalShape(const std::string& path, std::uint64_t bytes, bool shiftJis) {
  Write(path, bytes, shiftJis, PostalLineMaker());
}

void WriteRepeated(const std::string& source, const std::string& path, int copies) {
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (in == nullptr) throw std::runtime_error("cannot read " + source);
  std::string content;
  char buffer[1 << 16];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    content.append(buffer, got);
  std::fclose(in);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) throw std::runtime_error("cannot create " + path);
  for (int i = 0; i < copies; ++i)
    std::fwrite(content.data(), 1, content.size(), out);
  std::fclose(out);
}

}  // namespace norvalis::bench
