// Program-and-verify over a pseudo-terminal with the line time of 115200 baud
// emulated by the simulated bootloader: our programming run (Qt serial port,
// serial layer, engine) against the wire-time floor of the bytes the run put
// on the line plus the simulator's modelled device times, our CPU time
// against our wall time, and stm32flash writing and verifying the same image
// through the same simulator.
//
//   bench_flashing            (both images: 64 KiB and 20 KiB on a 64 KiB F103)

#include <sys/resource.h>
#include <time.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/serial/qt_serial_port.h"
#include "programmer/rs232.h"
#include "programmer/stm32prog.h"
#include "sim/bootloader_pty/pty_server.h"

namespace {

using namespace quva;
using Seconds = std::chrono::duration<double>;

double cpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double childCpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  auto s = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec * 1e-6; };
  return s(ru.ru_utime) + s(ru.ru_stime);
}

struct MemoLines final : StatusSink {
  std::vector<std::string> lines;
  void status_ausgeben(const std::string& zeile) override { lines.push_back(zeile); }
};

struct Run {
  bool ok = false;
  double wall = 0;      // s
  double floor = 0;     // s: wire time + device time from the simulator's counters
  double wire = 0;      // s
  double device = 0;    // s
  double cpuMain = 0;   // s: the thread that runs the programmer
  double cpuOther = 0;  // s: the rest of the process (pty server thread) or the child
  double lateness = 0;  // s: the pty server's own delay in handing over answers
  uint64_t bytesIn = 0, bytesOut = 0, writes = 0, wakeups = 0;
};

void takeCounters(sim::BootloaderPtyServer& server, Run& run) {
  auto lock = server.lockModel();
  const sim::BootloaderModel& m = server.model();
  run.wire = Seconds(m.wireTime()).count();
  run.device = Seconds(m.deviceTime()).count();
  run.floor = run.wire + run.device;
  run.bytesIn = m.bytesIn();
  run.bytesOut = m.bytesOut();
  run.writes = server.writes();
  run.wakeups = server.wakeups();
  run.lateness = Seconds(server.lateness()).count();
}

// With `lineTime` false the simulator answers at once: what remains is the pty
// transfer and the processing on both sides.
Run runOurs(const std::vector<uint8_t>& image, bool lineTime = true) {
  Run run;
  sim::BootloaderModel model(0);
  model.setLineTimeEmulation(lineTime);
  model.setDeviceTimeEmulation(lineTime);
  sim::BootloaderPtyServer server(model);
  if (!server.start()) {
    std::fprintf(stderr, "pty: %s\n", server.errorText().c_str());
    return run;
  }
  QtSerialPort port;
  if (!port.openDevice(QString::fromStdString(server.slavePath()))) {
    std::fprintf(stderr, "port: %s\n", port.errorText().c_str());
    return run;
  }
  rs232_set_port(&port);
  stm32_zuruecksetzen();
  stm32.controller = 0;
  stm32.flash.fill(0xFF);
  std::copy(image.begin(), image.end(), stm32.flash.begin());
  stm32.read_protection = true;
  stm32.WDG_SW = stm32.nRST_STOP = stm32.nRST_STDBY = true;
  stm32.WRP0 = stm32.WRP1 = stm32.WRP2 = stm32.WRP3 = 0xFF;
  rs232_mode_115200_8e1();
  {
    auto lock = server.lockModel();
    model.resetCounters();
  }

  MemoLines memo;
  KeinFortschritt bar;
  const double cpuMain0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double cpuAll0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto t0 = std::chrono::steady_clock::now();
  const int result = stm32_programmieren(memo, bar, bar);
  run.wall = Seconds(std::chrono::steady_clock::now() - t0).count();
  run.cpuMain = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuMain0;
  run.cpuOther = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuAll0 - run.cpuMain;
  takeCounters(server, run);

  auto lock = server.lockModel();
  run.ok = result == err_ok && std::equal(image.begin(), image.end(), model.flash().begin());
  if (!run.ok) {
    std::fprintf(stderr, "programming run failed (%d):\n", result);
    for (const auto& l : memo.lines) std::fprintf(stderr, "%s\n", l.c_str());
  }
  rs232_set_port(nullptr);
  return run;
}

Run runStm32flash(const QString& program, const QString& file, const std::vector<uint8_t>& image) {
  Run run;
  sim::BootloaderModel model(0);
  sim::BootloaderPtyServer server(model);
  if (!server.start()) return run;
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  const QStringList args{"-m", "8n1", "-b", "115200",
                         "-w", file,  "-v", QString::fromStdString(server.slavePath())};
  const double child0 = childCpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  p.start(program, args);
  const bool finished = p.waitForFinished(300000);
  run.wall = Seconds(std::chrono::steady_clock::now() - t0).count();
  run.cpuOther = childCpuSeconds() - child0;
  takeCounters(server, run);
  auto lock = server.lockModel();
  run.ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 &&
           std::equal(image.begin(), image.end(), model.flash().begin());
  if (!run.ok) std::fprintf(stderr, "stm32flash failed:\n%s\n", p.readAll().constData());
  return run;
}

// CPU time of the programmer thread while stm32_read_byte waits out its
// 1000 ms deadline on a silent line, three times.
void reportIdleWait() {
  sim::BootloaderModel model(0);
  sim::BootloaderPtyServer server(model);
  QtSerialPort port;
  if (!server.start() || !port.openDevice(QString::fromStdString(server.slavePath()))) return;
  rs232_set_port(&port);
  rs232_mode_115200_8e1();
  const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const auto t0 = std::chrono::steady_clock::now();
  int results = 0;
  for (int i = 0; i < 3; ++i) results += stm32_read_byte();
  const double wall = Seconds(std::chrono::steady_clock::now() - t0).count();
  const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
  rs232_set_port(nullptr);
  std::printf(
      "\nSilent line, three reads (results sum %d): %.3f s wall, %.3f ms CPU = %.4f %% of wall\n",
      results, wall, cpu * 1e3, 100.0 * cpu / wall);
}

void report(const char* title, const Run& ours, const Run* peer) {
  std::printf("\n%s\n", title);
  std::printf(
      "  floor (wire %.3f s + device %.3f s)   : %8.3f s   bytes to device %llu, from device "
      "%llu\n",
      ours.wire, ours.device, ours.floor, static_cast<unsigned long long>(ours.bytesIn),
      static_cast<unsigned long long>(ours.bytesOut));
  std::printf("  our wall time                          : %8.3f s   = %.4f x floor %s\n", ours.wall,
              ours.wall / ours.floor, ours.ok ? "" : "(RUN FAILED)");
  std::printf(
      "  of the excess: pty server handing over late : %6.3f s; the rest is pty transfer and our "
      "side\n",
      ours.lateness);
  std::printf("  our CPU time (programmer thread)       : %8.3f s   = %.2f %% of wall\n",
              ours.cpuMain, 100.0 * ours.cpuMain / ours.wall);
  std::printf(
      "  pty server thread CPU (simulator side) : %8.3f s   = %.2f %% of wall  (%llu writes, %llu "
      "wake-ups)\n",
      ours.cpuOther, 100.0 * ours.cpuOther / ours.wall,
      static_cast<unsigned long long>(ours.writes), static_cast<unsigned long long>(ours.wakeups));
  if (peer == nullptr) {
    std::printf("  stm32flash                             : not installed, not measured\n");
    return;
  }
  std::printf(
      "  stm32flash -w -v: floor of its bytes   : %8.3f s   bytes to device %llu, from device "
      "%llu\n",
      peer->floor, static_cast<unsigned long long>(peer->bytesIn),
      static_cast<unsigned long long>(peer->bytesOut));
  std::printf("  stm32flash wall time                   : %8.3f s   = %.4f x its floor %s\n",
              peer->wall, peer->wall / peer->floor, peer->ok ? "" : "(RUN FAILED)");
  std::printf("  stm32flash CPU time                    : %8.3f s   = %.2f %% of its wall\n",
              peer->cpuOther, 100.0 * peer->cpuOther / peer->wall);
  std::printf("  our wall time / stm32flash wall time   : %8.3f\n", ours.wall / peer->wall);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString program = QStandardPaths::findExecutable(QStringLiteral("stm32flash"));

  std::vector<uint8_t> fullImage(0x10000);
  uint32_t x = 0x12345678;  // a fixed pseudo-random image: no blank blocks
  for (auto& b : fullImage) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  const std::vector<uint8_t>& full = fullImage;
  const std::vector<uint8_t> part(full.begin(), full.begin() + 20 * 1024);

  std::printf(
      "Program and verify over a pty, 115200 baud 8E1 line time emulated, STM32F103x8 (64 KiB)\n");
  bool ok = true;
  for (const auto* image : {&full, &part}) {
    const QString file = dir.filePath(QStringLiteral("image%1.bin").arg(image->size()));
    {
      std::ofstream out(file.toStdString(), std::ios::binary);
      out.write(reinterpret_cast<const char*>(image->data()),
                static_cast<std::streamsize>(image->size()));
    }
    const Run ours = runOurs(*image);
    const Run instant = runOurs(*image, false);
    Run peer;
    if (!program.isEmpty()) peer = runStm32flash(program, file, *image);
    const std::string title = std::to_string(image->size() / 1024) + " KiB image";
    report(title.c_str(), ours, program.isEmpty() ? nullptr : &peer);
    std::printf(
        "  same run, simulator answering at once  : %8.3f s   (pty transfer and processing, "
        "both sides busy)\n",
        instant.wall);
    ok = ok && ours.ok && (program.isEmpty() || peer.ok);
  }
  reportIdleWait();
  return ok ? 0 : 1;
}
