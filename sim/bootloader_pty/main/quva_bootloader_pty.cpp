// Serves a simulated STM32 bootloader on a pseudo-terminal and prints the
// slave's path, so that the programmer or stm32flash can be tried by hand:
//   quva_bootloader_pty [--controller 0..3] [--latency-us N] [--protected]
//                       [--link PATH]
//   stm32flash -m 8n1 -b 115200 -w image.bin -v <printed path>
// Runs until interrupted (Ctrl+C); then prints the simulator's counters.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/bootloader_pty/pty_server.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "Aufruf: quva_bootloader_pty [--controller 0..3] [--latency-us N] "
               "[--protected] [--link PFAD]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int controller = 0;
  long latencyUs = 0;
  bool protectedFlash = false;
  std::string link;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--controller" && hasValue) {
      controller = std::atoi(argv[++i]);
      if (controller < 0 || controller > 3) return usage();
    } else if (arg == "--latency-us" && hasValue) {
      latencyUs = std::atol(argv[++i]);
      if (latencyUs < 0) return usage();
    } else if (arg == "--link" && hasValue) {
      link = argv[++i];
    } else if (arg == "--protected") {
      protectedFlash = true;
    } else {
      return usage();
    }
  }

  // The signals are taken with sigwait; the server thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  quva::sim::BootloaderTiming timing;
  timing.adapter_latency = std::chrono::microseconds(latencyUs);
  quva::sim::BootloaderModel model(controller, timing);
  model.setReadoutProtection(protectedFlash);
  quva::sim::BootloaderPtyServer server(model);
  if (!server.start()) {
    std::fprintf(stderr, "%s\n", server.errorText().c_str());
    return 1;
  }
  if (!link.empty()) {
    ::unlink(link.c_str());
    if (::symlink(server.slavePath().c_str(), link.c_str()) != 0) {
      std::fprintf(stderr, "%s: %s\n", link.c_str(), std::strerror(errno));
      return 1;
    }
  }
  std::printf("%s\n", server.slavePath().c_str());
  std::fflush(stdout);

  int sig = 0;
  sigwait(&stopSignals, &sig);
  server.stop();
  if (!link.empty()) ::unlink(link.c_str());
  std::fprintf(stderr,
               "Bytes empfangen: %llu, gesendet: %llu, Leitungszeit: %.3f s, Gerätezeit: %.3f s\n",
               static_cast<unsigned long long>(model.bytesIn()),
               static_cast<unsigned long long>(model.bytesOut()),
               std::chrono::duration<double>(model.wireTime()).count(),
               std::chrono::duration<double>(model.deviceTime()).count());
  return 0;
}
