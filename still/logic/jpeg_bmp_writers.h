#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

// The writers below store the colour of every pixel and drop any alpha. An empty image has no
// form in JPEG, GIF or PNG, so no writer stores one, BMP included: false and no file.
// A writer that fails after creating its file removes it, so a false result never leaves a
// partial file behind (the file it replaced is gone, though).

// Writes image as a baseline sequential JFIF file with libjpeg-turbo: three YCbCr components,
// libjpeg's defaults, floating-point DCT, quality scaling with baseline tables forced.
// quality: the setting as stored; its low 8 bits are the encoder's quality, where 0 encodes
// as 1 and values above 100 as 100. False when the file cannot be created or written, or the
// image is empty or wider or higher than JPEG's 65500 pixels.
bool writeJpeg(const QImage& image, const QString& path, int quality);

// Writes image as a Windows BMP file: 14-byte file header, 40-byte BITMAPINFOHEADER, 24 bits a
// pixel, rows bottom-up and padded to 4 bytes, no resolution given. Built in memory and written
// in one call. False when the file cannot be created or written, or the image is empty or would
// make a file larger than the 4 GiB the header can state.
bool writeBmp(const QImage& image, const QString& path);
