#include "app/bitmap_font.h"

#include <array>
#include <map>

#include "runtime/graphics/graph_loading.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/text_encoding.h"

namespace app {
namespace {

constexpr uint8_t kVoicedMark = 58;      // ゛
constexpr uint8_t kSemiVoicedMark = 59;  // ゜

// One kana's conversion: an optional mark first, then its cell code (0 ends the text).
struct Kana {
  uint8_t mark = 0;
  uint8_t code = 0;
  bool known = false;  // false: not a character, produces nothing
};

uint8_t CodeOfCell(int cell) { return static_cast<uint8_t>(cell <= 180 ? cell + 48 : cell + 47); }

// The sheet's kana, by cell.
std::map<std::string, int> KanaCells() {
  std::map<std::string, int> cells;
  auto row = [&](int first, const char* utf8_list) {
    std::string list = utf8_list;
    int cell = first;
    for (size_t i = 0; i < list.size();) {
      const size_t width = (static_cast<unsigned char>(list[i]) >= 0xE0) ? 3 : 1;
      const std::string ch = list.substr(i, width);
      if (ch != "_") cells[ch] = cell;
      ++cell;
      i += width;
    }
  };
  row(52, "あいうえおかきくけこさしすせそたちつてとなにぬねの");
  row(78, "はひふへほまみむめもや_ゆ_よらりるれろわ___を");
  row(104, "んっゃゅょ_ぁぃぅぇぉ");
  row(130, "アイウエオカキクケコサシスセソタチツテトナニヌネノ");
  row(156, "ハヒフヘホマミムメモヤ_ユ_ヨラリルレロワ___ヲ");
  row(182, "ンッャュョ_ァィゥェォ");
  return cells;
}

// Voiced kana and the plain kana whose cell they share.
const char* const kVoiced[][2] = {
    {"が", "か"}, {"ぎ", "き"}, {"ぐ", "く"}, {"げ", "け"}, {"ご", "こ"}, {"ざ", "さ"},
    {"じ", "し"}, {"ず", "す"}, {"ぜ", "せ"}, {"ぞ", "そ"}, {"だ", "た"}, {"ぢ", "ち"},
    {"づ", "つ"}, {"で", "て"}, {"ど", "と"}, {"ば", "は"}, {"び", "ひ"}, {"ぶ", "ふ"},
    {"べ", "へ"}, {"ぼ", "ほ"}, {"ガ", "カ"}, {"ギ", "キ"}, {"グ", "ク"}, {"ゲ", "ケ"},
    {"ゴ", "コ"}, {"ザ", "サ"}, {"ジ", "シ"}, {"ズ", "ス"}, {"ゼ", "セ"}, {"ゾ", "ソ"},
    {"ダ", "タ"}, {"ヂ", "チ"}, {"ヅ", "ツ"}, {"デ", "テ"}, {"ド", "ト"}, {"バ", "ハ"},
    {"ビ", "ヒ"}, {"ブ", "フ"}, {"ベ", "ヘ"}, {"ボ", "ホ"}, {"ヴ", "ウ"}};
const char* const kSemiVoiced[][2] = {{"ぱ", "は"}, {"ぴ", "ひ"}, {"ぷ", "ふ"}, {"ぺ", "へ"},
                                      {"ぽ", "ほ"}, {"パ", "ハ"}, {"ピ", "ヒ"}, {"プ", "フ"},
                                      {"ペ", "ヘ"}, {"ポ", "ホ"}};

// Lead bytes 0x82 (hiragana) and 0x83 (katakana), by trail byte.
using KanaTable = std::array<std::array<Kana, 256>, 2>;

KanaTable BuildKanaTable() {
  const std::map<std::string, int> cells = KanaCells();
  std::map<std::string, Kana> kana;
  for (const auto& [ch, cell] : cells) kana[ch] = {0, CodeOfCell(cell), true};
  for (const auto& pair : kVoiced)
    kana[pair[0]] = {kVoicedMark, CodeOfCell(cells.at(pair[1])), true};
  for (const auto& pair : kSemiVoiced)
    kana[pair[0]] = {kSemiVoicedMark, CodeOfCell(cells.at(pair[1])), true};
  kana["ヵ"] = kana["カ"];
  kana["ヶ"] = kana["ケ"];
  KanaTable table{};
  for (int lead = 0; lead < 2; ++lead) {
    // Every trail byte, 0xFD to 0xFF included: past ん and ヶ each one ends the text.
    for (int trail = 0x40; trail <= 0xFF; ++trail) {
      const char bytes[2] = {static_cast<char>(0x82 + lead), static_cast<char>(trail)};
      bool ok = false;
      const std::string utf8 = platform::Cp932ToUtf8(std::string(bytes, 2), &ok);
      const auto found = kana.find(utf8);
      // A kana the sheet lacks (ゎ ゐ ゑ ヮ ヰ ヱ) or past ん / ヶ ends the text: code 0, known.
      table[lead][trail] = ok && found != kana.end() ? found->second : Kana{0, 0, true};
    }
  }
  return table;
}

const KanaTable& Kanas() {
  static const KanaTable table = BuildKanaTable();
  return table;
}

uint8_t AsciiCode(uint8_t c) {
  if (c == 0x0A) return 5;
  if (c < 0x20) return 1;
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(48 + (c - '0'));
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(74 + (c - 'A'));
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(74 + (c - 'a'));
  switch (c) {
    case ' ':
      return 125;
    case '!':
      return 62;
    case '"':
      return 165;
    case '#':
      return 168;
    case '&':
      return 169;
    case '*':
      return 166;
    case '+':
      return 163;
    case ',':
      return 69;
    case '-':
      return 164;
    case '.':
      return 70;
    case '/':
      return 73;
    case ':':
      return 67;
    case ';':
      return 68;
    case '<':
      return 71;
    case '=':
      return 167;
    case '>':
      return 72;
    case '?':
      return 63;
    case '@':
      return 64;
    case '[':
    case '{':
      return 171;
    case ']':
    case '}':
      return 172;
    default:
      return 1;
  }
}

// The fixed two-byte characters; 0 when the pair is not one of them.
int FixedPairCode(int pair) {
  static const std::map<int, int> kPairs = {
      {0x8140, 125}, {0x8160, 175}, {0x8151, 1},   {0x815B, 157}, {0x8163, 234}, {0x8141, 60},
      {0x8142, 61},  {0x9298, 64},  {0x8F49, 65},  {0x8175, 66},  {0x8756, 170}, {0x97A3, 173},
      {0x899F, 174}, {0x8C95, 147}, {0x8F82, 148}, {0x8C43, 149}, {0x9682, 151}, {0x819B, 137},
      {0x817E, 139}, {0x81A0, 215}, {0x81A2, 217}, {0x8145, 176}, {0x8149, 62},  {0x8148, 63},
      {0x818F, 5},   {0x91CC, 240}, {0xE6CE, 241}, {0x945E, 242}, {0x88AD, 243}};
  const auto found = kPairs.find(pair);
  return found == kPairs.end() ? 0 : found->second;
}

bool IsTrailingPunctuation(uint8_t code) {
  return code == 60 || code == 61 || code == 69 || code == 70;
}

}  // namespace

void BitmapFont::LoadFont(int number) {
  auto file = [](int n) -> std::string {
    return n == 0 ? "system\\letter.bmp" : "system\\font_0" + std::to_string(n) + ".png";
  };
  if (graphics::LoadDividedPicture(file(number).c_str(), kFontCells, 26, 8, 8, 8, cells_, 1) ==
          -1 &&
      number > 0)
    graphics::LoadDividedPicture(file(0).c_str(), kFontCells, 26, 8, 8, 8, cells_, 1);
}

std::string BitmapFont::ConvertText(const std::string& text) {
  std::string codes;
  for (size_t i = 0; i < text.size() && text[i] != '\0';) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      codes.push_back(static_cast<char>(AsciiCode(lead)));
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || text[i + 1] == '\0') break;  // a lead byte at the end
    const uint8_t trail = static_cast<uint8_t>(text[i + 1]);
    i += 2;
    const bool hiragana = lead == 0x82 && trail >= 0x9F;
    const bool katakana = lead == 0x83 && trail >= 0x40 && trail <= 0x9E;
    if (hiragana || katakana) {
      const Kana& kana = Kanas()[hiragana ? 0 : 1][trail];
      if (!kana.known) continue;
      if (kana.code == 0) break;  // a kana the sheet lacks ends the text
      if (kana.mark) codes.push_back(static_cast<char>(kana.mark));
      codes.push_back(static_cast<char>(kana.code));
    } else if (lead == 0x83 && trail < 0x40) {
      continue;  // not Shift-JIS
    } else if (lead == 0x82 && trail >= 0x4F && trail <= 0x58) {
      codes.push_back(static_cast<char>(trail - 0x1F));
    } else if (lead == 0x82 && trail >= 0x60 && trail <= 0x79) {
      codes.push_back(static_cast<char>(trail - 0x16));
    } else if (int code = FixedPairCode((lead << 8) | trail)) {
      codes.push_back(static_cast<char>(code));
    }
  }
  return codes;
}

void BitmapFont::DrawCell(int code, int x, int y) const {
  const int cell = code <= 228 ? code - 48 : code - 47;
  if (drawer_) {
    drawer_(cell, x, y);
  } else {
    graphics::PutGraph(x, y, cells_[cell], 1);
  }
}

void BitmapFont::DrawCodes(int x, int y, int width, int max_lines, const std::string& codes) const {
  int pen_x = x;
  int pen_y = y;
  int column = 0;
  int lines = 0;
  int indent = 0;
  for (size_t i = 0; i < codes.size() && codes[i] != '\0'; ++i) {
    const uint8_t code = static_cast<uint8_t>(codes[i]);
    if (code < 48) {
      if (code == 5) {
        column = width + 5;
      } else if (code == 1 && column != 0 && !(column == 1 && indent == 1)) {
        column += 1;
        pen_x += 8;
      }
    } else if (code == 58 || code == 59) {
      DrawCell(code, pen_x + 2, pen_y - 8);
    } else if (code == 242 || code == 243) {
      DrawCell(code, pen_x, pen_y - 8);
    } else {
      DrawCell(code, pen_x, pen_y);
      pen_x += 8;
      column += 1;
      if (code == 66) indent = 1;
    }
    const uint8_t next = i + 1 < codes.size() ? static_cast<uint8_t>(codes[i + 1]) : 0;
    if (column > width && !(IsTrailingPunctuation(next) && column <= width + 1)) {
      pen_x = x + 8 * indent;
      column = indent;
      pen_y += 16;
      if (++lines >= max_lines) return;
    }
  }
}

void BitmapFont::DrawFontText(int x, int y, const std::string& text) const {
  std::string codes = ConvertText(text);
  if (codes.size() > 255) codes.resize(255);  // the 256-byte buffer
  DrawCodes(x, y, 50, 999, codes);
}

void BitmapFont::DrawFontNumber(int x, int y, int value, int width, int max, int min,
                                bool zero_pad) const {
  if (value < min) {
    value = min;
  } else if (max > 0 && value > max) {
    value = max;
  }
  std::string text = std::to_string(value);
  if (width != 0) {
    int missing = width - static_cast<int>(text.size());
    if (missing > 0 && zero_pad) {
      text.insert(text.begin(), '0');
      --missing;
    }
    x += 8 * missing;
  }
  // Digits are their own codes; a minus sign (45) is a control code that draws nothing.
  DrawCodes(x, y, 50, 1, text);
}

}  // namespace app
