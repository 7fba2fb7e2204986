#pragma once
// JPEG decoding with libjpeg, called directly, so no image plugin has to be
// deployed with the program.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quva {

// Decodes a JPEG (baseline or progressive, grey or colour) into an RGB image.
// Returns a null image for data that is not a complete, valid JPEG, with
// libjpeg's reason in `fehler` if given.
QImage jpeg_dekodieren(const QByteArray& daten, QString* fehler = nullptr);

}  // namespace quva
