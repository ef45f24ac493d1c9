# WriteWaveBankSource(BANK OUTPUT): writes a C++ source holding the bytes of the waveform bank
# file BANK as org::kBuiltInWaveBank (our bank compiled into the engine).
function(WriteWaveBankSource bank output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${bank})
  file(READ ${bank} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n  " bytes "${bytes}")
  file(CONFIGURE OUTPUT ${output} CONTENT
"// Made by org/wave_bank_source.cmake from data/Org/Wave100.dat.
#include \"org/wave_bank.h\"

namespace org {
extern const uint8_t kBuiltInWaveBank[kWaveBankBytes] = {
  ${bytes}
};
}  // namespace org
")
endfunction()
