// Program start: creates, in this order, the main window, the diagram window,
// the debug-messages window and the test window (the main window's creation
// registers the hooks before the others exist), then runs the message loop
// until the main window closes.

#include <QApplication>
#include <QObject>

#include "ui/diagramm/frm_diagramm.h"
#include "ui/info/frm_debugmeldungen.h"
#include "ui/main/frm_main.h"
#include "ui/main/frm_pruefen.h"

#if QUVA_DEMO
#include "sim/detector/sim_detektor_treiber.h"
#else
#include "platform/hid/geraete_monitor.h"
#include "platform/hid/hidapi_link.h"
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);

#if QUVA_DEMO
  quva::SimDetektorTreiber simulator;
  quva::HidLink& nrHid1 = simulator.detektor();
#else
  quva::HidapiLink hidapi;
  quva::HidLink& nrHid1 = hidapi;
#endif

  quva::TFormMain FormMain(nrHid1);
  quva::TFormDiagramm FormDiagramm;
  quva::TFormDebugmeldungen FormDebugmeldungen;
  quva::TFormPruefen FormPruefen;
  FormMain.fenster_setzen(&FormDiagramm, &FormDebugmeldungen, &FormPruefen);

#if QUVA_DEMO
  QObject::connect(&simulator, &quva::SimDetektorTreiber::geraeteaenderung, &FormMain,
                   &quva::TFormMain::WMDeviceChange);
#else
  quva::GeraeteMonitor monitor;
#ifdef _WIN32
  monitor.hauptfenster_setzen(static_cast<quintptr>(FormMain.winId()));
#endif
  QObject::connect(&monitor, &quva::GeraeteMonitor::geraeteaenderung, &FormMain,
                   &quva::TFormMain::WMDeviceChange);
#endif

  FormMain.show();
  const int ergebnis = app.exec();
  // No report may reach the windows while they are taken down.
  nrHid1.SetActive(false);
  return ergebnis;
}
