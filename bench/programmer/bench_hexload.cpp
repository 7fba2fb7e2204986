// Loading a full 256 KiB Intel-HEX file with hexdatei_lesen (with its load
// log "protokoll.log" and the CRC) against srec_cat converting the same file
// to binary, in the same run. The file is generated here: 16 data bytes a
// record, extended linear address records, an end-of-file record.
//
//   bench_hexload [repetitions]      (default 5; the best time of each counts)

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "programmer/stm32prog.h"

namespace {

using Seconds = std::chrono::duration<double>;

void hexRecord(std::string& out, uint8_t type, uint16_t offset, const uint8_t* data, int count) {
  static const char digits[] = "0123456789ABCDEF";
  auto put = [&](uint8_t b, uint8_t& sum) {
    out += digits[b >> 4];
    out += digits[b & 15];
    sum = static_cast<uint8_t>(sum + b);
  };
  uint8_t sum = 0;
  out += ':';
  put(static_cast<uint8_t>(count), sum);
  put(static_cast<uint8_t>(offset >> 8), sum);
  put(static_cast<uint8_t>(offset), sum);
  put(type, sum);
  for (int i = 0; i < count; ++i) put(data[i], sum);
  uint8_t ignored = 0;
  put(static_cast<uint8_t>(-sum), ignored);
  out += "\r\n";
}

std::string makeHexFile() {
  std::string out;
  uint32_t x = 0x2468ACE1;
  uint8_t row[16];
  for (uint32_t addr = 0; addr < 0x40000; addr += 16) {
    if ((addr & 0xFFFF) == 0) {
      const uint16_t high = static_cast<uint16_t>((0x08000000 + addr) >> 16);
      const uint8_t word[2] = {static_cast<uint8_t>(high >> 8), static_cast<uint8_t>(high)};
      hexRecord(out, 4, 0, word, 2);
    }
    for (auto& b : row) {
      x = x * 1664525u + 1013904223u;
      b = static_cast<uint8_t>(x >> 24);
    }
    hexRecord(out, 0, static_cast<uint16_t>(addr), row, 16);
  }
  hexRecord(out, 1, 0, nullptr, 0);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  QTemporaryDir dir;
  const std::filesystem::path work = dir.path().toStdString();
  std::filesystem::current_path(work);  // protokoll.log goes here
  const std::string hex = (work / "image.hex").string();
  {
    std::ofstream out(hex, std::ios::binary);
    out << makeHexFile();
  }
  std::printf("Loading a 256 KiB Intel-HEX file (%ju bytes), best of %d\n",
              static_cast<uintmax_t>(std::filesystem::file_size(hex)), reps);

  double ours = 1e9;
  int result = 0;
  for (int i = 0; i < reps; ++i) {
    quva::stm32_zuruecksetzen();
    quva::stm32.controller = 2;  // STM32F103xC: 256 KiB, the whole image
    const auto t0 = std::chrono::steady_clock::now();
    try {
      result = quva::hexdatei_lesen(hex, quva::stm32);
    } catch (const quva::HexdateiFehler& e) {
      std::fprintf(stderr, "hexdatei_lesen: %s\n", e.what());
      return 1;
    }
    ours = std::min(ours, Seconds(std::chrono::steady_clock::now() - t0).count());
  }
  std::printf("  hexdatei_lesen (log + CRC %08x)  : %8.2f ms  result %d\n",
              static_cast<unsigned>(quva::stm32.checksumme), ours * 1e3, result);

  const QString srecCat = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
  if (srecCat.isEmpty()) {
    std::printf("  srec_cat not installed, not measured\n");
    return result == 0 ? 0 : 1;
  }
  double peer = 1e9;
  const QStringList args{QString::fromStdString(hex),
                         "-Intel",
                         "-offset",
                         "-0x08000000",
                         "-o",
                         QString::fromStdString((work / "image.bin").string()),
                         "-Binary"};
  for (int i = 0; i < reps; ++i) {
    QProcess p;
    const auto t0 = std::chrono::steady_clock::now();
    p.start(srecCat, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
      std::fprintf(stderr, "srec_cat failed: %s\n", p.readAllStandardError().constData());
      return 1;
    }
    peer = std::min(peer, Seconds(std::chrono::steady_clock::now() - t0).count());
  }
  // srec_cat runs as a process of its own: its start-up, seen on a file of one
  // record, is part of its time.
  {
    std::ofstream out(work / "tiny.hex", std::ios::binary);
    std::string tiny;
    const uint8_t word[2] = {0x08, 0x00};
    const uint8_t data[4] = {1, 2, 3, 4};
    hexRecord(tiny, 4, 0, word, 2);
    hexRecord(tiny, 0, 0, data, 4);
    hexRecord(tiny, 1, 0, nullptr, 0);
    out << tiny;
  }
  double startup = 1e9;
  const QStringList tinyArgs{QString::fromStdString((work / "tiny.hex").string()),
                             "-Intel",
                             "-offset",
                             "-0x08000000",
                             "-o",
                             QString::fromStdString((work / "tiny.bin").string()),
                             "-Binary"};
  for (int i = 0; i < reps; ++i) {
    QProcess p;
    const auto t0 = std::chrono::steady_clock::now();
    p.start(srecCat, tinyArgs);
    p.waitForFinished(60000);
    startup = std::min(startup, Seconds(std::chrono::steady_clock::now() - t0).count());
  }
  std::printf(
      "  srec_cat to binary               : %8.2f ms  (of which start-up on a one-record file: "
      "%.2f ms)\n",
      peer * 1e3, startup * 1e3);
  std::printf("  hexdatei_lesen / srec_cat        : %8.3f x\n", ours / peer);

  // The two must agree on the image.
  std::ifstream bin(work / "image.bin", std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(bin)), {});
  const bool same = data.size() == quva::stm32_image_size &&
                    std::equal(data.begin(), data.end(), quva::stm32.flash.begin(),
                               [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
  std::printf("  images agree                     : %s\n", same ? "yes" : "NO");
  return result == 0 && same ? 0 : 1;
}
