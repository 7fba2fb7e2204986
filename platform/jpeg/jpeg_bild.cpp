#include "platform/jpeg/jpeg_bild.h"

#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace quva {

namespace {

struct Fehlerbehandlung {
  jpeg_error_mgr basis;
  std::jmp_buf sprung;
  char text[JMSG_LENGTH_MAX];
};

[[noreturn]] void fehler_abbruch(j_common_ptr info) {
  auto* f = reinterpret_cast<Fehlerbehandlung*>(info->err);
  f->basis.format_message(info, f->text);
  std::longjmp(f->sprung, 1);
}

void warnung_melden(j_common_ptr info, int stufe) {
  // A corrupt-data warning (stufe -1) would otherwise give a silently
  // damaged picture; treat it as the error it is.
  if (stufe < 0) fehler_abbruch(info);
}

// Decodes into `bild`, which is allocated before any libjpeg call so that a
// jump back from an error skips no C++ object that lives only between the
// setjmp and the error.
bool dekodieren(const unsigned char* daten, unsigned long laenge, QImage& bild, char* text) {
  jpeg_decompress_struct info{};
  Fehlerbehandlung fehler{};
  info.err = jpeg_std_error(&fehler.basis);
  fehler.basis.error_exit = fehler_abbruch;
  fehler.basis.emit_message = warnung_melden;
  if (setjmp(fehler.sprung)) {
    jpeg_destroy_decompress(&info);
    std::snprintf(text, JMSG_LENGTH_MAX, "%s", fehler.text);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, daten, laenge);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;  // libjpeg converts grey and YCbCr
  jpeg_start_decompress(&info);
  bild = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                QImage::Format_RGB888);
  if (bild.isNull()) {
    jpeg_destroy_decompress(&info);
    std::snprintf(text, JMSG_LENGTH_MAX, "Bild zu groß");
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW zeile = bild.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &zeile, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage jpeg_dekodieren(const QByteArray& daten, QString* fehler) {
  QImage bild;
  char text[JMSG_LENGTH_MAX] = {};
  if (daten.isEmpty() || !dekodieren(reinterpret_cast<const unsigned char*>(daten.constData()),
                                     static_cast<unsigned long>(daten.size()), bild, text)) {
    if (fehler) *fehler = daten.isEmpty() ? QStringLiteral("keine Daten") : QString::fromUtf8(text);
    return {};
  }
  return bild;
}

}  // namespace quva
