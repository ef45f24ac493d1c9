#include "runtime/core/system_report.h"

#include <cstdlib>
#include <string>

#include "runtime/core/app_log.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/system_probe.h"
#include "runtime/platform/text_encoding.h"

namespace runtime {
namespace {

SystemFindings g_findings;
bool g_services_overridden = false;
PlatformServicesOverride g_services_override;

platform::PlatformServices ProbeServices() {
  if (!g_services_overridden) return platform::ProbePlatformServices();
  platform::PlatformServices services;
  services.display = g_services_override.display;
  services.audio = g_services_override.audio;
  services.input = g_services_override.input;
  return services;
}

void ReportOs() {
  const platform::OsReport os = platform::ProbeOs();
  // This system's name and release stand where the Windows names stood; OsKind stays 0.
  AppLogWrite(SJIS("ＯＳ  "));
  AppLogWrite((os.name + " " + os.release).c_str());
  AppLogWriteFormat(" ( Build %d %s )", os.build, os.version.c_str());
}

void ReportVersion(int version) {
  std::string line = SJIS("ＤｉｒｅｃｔＸ　Ver");
  line += std::to_string(version >> 16) + "." + std::to_string((version >> 8) & 0xFF);
  const int letter = version & 0xFF;
  if (letter >= 'a' && letter <= 'z') line += static_cast<char>(letter);
  line += SJIS("以上");
  AppLogWrite(line.c_str());
  AppLogWrite("\n");
}

void ReportCpu() {
  g_findings.MmxUsable = 0;
  const platform::CpuReport cpu = platform::ProbeCpu();
  g_findings.TscAvailable = cpu.has_tsc ? 1 : 0;
  if (g_findings.TscAvailable) {
    const uint64_t start = platform::ReadTimeStampCounter();
    const uint32_t begin = platform::ClockMs();
    while (platform::ClockMs() - begin < 500) {
    }
    g_findings.TscTicksPerHalfSecond =
        static_cast<int64_t>(platform::ReadTimeStampCounter() - start);
    AppLogWriteFormat(SJIS("ＣＰＵ動作速度：%dMHz"),
                      static_cast<int>(g_findings.TscTicksPerHalfSecond / 500000));
  }
  if (!cpu.has_cpuid) {
    AppLogWrite(SJIS("ＣＰＵＩＤ命令は使えません\n"));
    return;
  }
  AppLogWrite(cpu.has_mmx ? SJIS("ＭＭＸ命令を使用します\n") : SJIS("ＭＭＸは使えません\n"));
  AppLogWrite(SJIS("ＣＰＵベンダ："));
  AppLogWrite(cpu.vendor.c_str());
  AppLogWrite("\n");
  if (!cpu.name.empty()) {
    AppLogWrite(SJIS("ＣＰＵ名："));
    AppLogWrite(cpu.name.c_str());
    AppLogWrite("\n");
  }
}

}  // namespace

SystemFindings& GetSystemFindings() { return g_findings; }

int PlatformVersionFor(bool display, bool audio, bool input) {
  // The probe order of the graphics library: display first, then input, then sound.
  if (!display) return 0;
  if (!input) return 0x20000;
  if (!audio) return 0x60000;
  return 0x70000;
}

int ReportSystemInfo() {
  AppLogWrite(SJIS("システムの情報を出力します\n"));
  AppLogIndent();
  AppLogWrite(SJIS("ＲＴライブラリ Ver2.10\n"));
  ReportOs();
  const platform::PlatformServices services = ProbeServices();
  g_findings.DirectXVersion = PlatformVersionFor(services.display, services.audio, services.input);
  ReportVersion(g_findings.DirectXVersion);
  ReportCpu();
  AppLogOutdent();
  if (g_findings.DirectXVersion < 0x70000) {
    // A program that goes on has always recorded the full version: any missing service refuses
    // the start, as a missing graphics library did.
    platform::ShowNotice(
        g_findings.DirectXVersion == 0
            ? SJIS("DirectX がインストールされていないのでここで終了します")
            : SJIS("DirectX バージョン 7 以前なのでソフトを起動することが出来ません"),
        SJIS("エラー"));
    std::exit(-1);
  }
  return 0;
}

void ResetSystemFindings() {
  g_findings = SystemFindings{};
  g_services_overridden = false;
}

void SetPlatformServicesForTesting(const PlatformServicesOverride* services) {
  g_services_overridden = services != nullptr;
  if (services) g_services_override = *services;
}

}  // namespace runtime
