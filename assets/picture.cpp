#include "assets/picture.h"

#include "db/brenvik_types.h"

#include <QFile>
#include <QFileInfo>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void quietly(j_common_ptr, int) {}

} // namespace

namespace {
// Only plain data lives in this frame: the decoder leaves it by longjmp on an error.
bool decodeInto(const unsigned char* data, unsigned long size, QImage* out, ErrorManager* err) {
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&err->pub);
    err->pub.error_exit = onError;
    err->pub.emit_message = quietly;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}
} // namespace

QImage DecodeJpeg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(file.errorString());
    const QByteArray bytes = file.readAll();
    QImage image;
    ErrorManager err{};
    if (!decodeInto(reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()),
                    &image, &err))
        throw Exception(QString::fromLocal8Bit(err.message));
    return image;
}

QString AssetPictureName(int anlageNr) {
    return QStringLiteral("pic_%1.bmp").arg(anlageNr);
}

void StoreAssetPicture(const QString& source, const QString& target) {
    const QString suffix = QFileInfo(source).suffix().toUpper();
    if (suffix == QLatin1String("JPG") || suffix == QLatin1String("JPEG")) {
        const QImage image = DecodeJpeg(source);
        QFile::remove(target);
        if (!image.save(target, "BMP"))
            throw Exception(QStringLiteral("Die Bilddatei konnte nicht geschrieben werden."));
        return;
    }
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath())
        return;
    QFile::remove(target);
    QFile in(source);
    if (!in.copy(target))
        throw Exception(in.errorString());
}
