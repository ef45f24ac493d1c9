// The keyboard's scan codes (the codes the runtime's keyboard state is indexed by) for the keys
// the jukebox answers: one table for the jukebox's keys and the visualiser's track keys.
#pragma once

namespace app::key_codes {

constexpr int kKeySpace = 57;
constexpr int kKeyP = 25;
constexpr int kKeyS = 31;
constexpr int kKeyD = 32;
constexpr int kKeyE = 18;
constexpr int kKeyLeft = 203;
constexpr int kKeyRight = 205;
constexpr int kKeyReturn = 28;
constexpr int kKeyPause = 197;
constexpr int kKeyUp = 200;
constexpr int kKeyDown = 208;
constexpr int kKeyF11 = 87;
constexpr int kKeyLeftAlt = 56;
constexpr int kKeyRightAlt = 184;
constexpr int kKeyComma = 51;
constexpr int kKeyPeriod = 52;
constexpr int kKeyHome = 199;
constexpr int kKeyV = 47;
constexpr int kKeyH = 35;
constexpr int kKeyF1 = 59;
constexpr int kKey1 = 2;  // 1..8 are 2..9, 0 is 11
constexpr int kKey0 = 11;
constexpr int kKeyLeftShift = 42;
constexpr int kKeyRightShift = 54;
constexpr int kKeyLeftCtrl = 29;
constexpr int kKeyRightCtrl = 157;

}  // namespace app::key_codes
