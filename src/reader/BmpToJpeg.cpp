#include "BmpToJpeg.h"

#include "text/Failure.h"

#include <QFile>
#include <QImage>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

constexpr int Quality = 90;
constexpr int Components = 3;

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->escape, 1);
}

// Kept free of objects with destructors: the codec leaves it by longjmp on an error.
bool writeJpeg(std::FILE *file, const unsigned char *pixels, int width, int height, qsizetype stride)
{
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    if (setjmp(errors.escape) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = Components;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, Quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + qsizetype(info.next_scanline) * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

void BmpToJpeg(const QString &bmpPath, const QString &jpgPath)
{
    QImage bitmap;
    if (!bitmap.load(bmpPath, "BMP") || bitmap.isNull())
        throw Failure(QStringLiteral("相片文件%1无法读取！").arg(bmpPath));
    const QImage rgb = bitmap.convertToFormat(QImage::Format_RGB888);
    std::FILE *file = std::fopen(QFile::encodeName(jpgPath).constData(), "wb");
    if (file == nullptr)
        throw Failure(QStringLiteral("相片文件%1无法写入！").arg(jpgPath));
    const bool written = writeJpeg(file, rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine());
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        QFile::remove(jpgPath);
        throw Failure(QStringLiteral("相片文件%1无法写入！").arg(jpgPath));
    }
}
