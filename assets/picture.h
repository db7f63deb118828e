#pragma once
// Asset pictures: a JPEG is decoded and kept as a Windows bitmap, any other picture file is copied as it is.

#include <QImage>
#include <QString>

// Decodes a JPEG file; raises Exception with the decoder's message when the file is no readable JPEG.
QImage DecodeJpeg(const QString& path);

// The stored name of an asset's picture: "pic_" + asset number + ".bmp".
QString AssetPictureName(int anlageNr);

// Stores the chosen file as target: .jpg/.jpeg (any case) decoded and written as a Windows bitmap, anything else
// copied. An existing target is replaced. Raises Exception with the cause.
void StoreAssetPicture(const QString& source, const QString& target);
