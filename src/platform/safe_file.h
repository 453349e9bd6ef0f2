// Saving a file from a window without ever destroying what stood there: the bytes go to a
// temporary file beside the target and replace it only when every byte is on the disk (a full
// disk leaves the old file as it was). A pipe, device, socket or folder under the name is
// refused, never replaced; a symbolic link is replaced by the file, never written through.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace sinora {

// Writes `bytes` as the file `path`; false with `error` (translated, the system's reason in it)
// when nothing was changed.
bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error);

// Encodes `image` as PNG (a failure to encode is an error too) and writes it so.
bool writePngSafely(const QString& path, const QImage& image, QString* error);

// The reason of the last write of this thread that failed (for the message a window shows).
QString lastWriteError();

}  // namespace sinora
