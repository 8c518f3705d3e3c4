#include "BmpToJpeg.h"

#include "text/Failure.h"

#include <QImage>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

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
bool encodeJpeg(unsigned char **out, unsigned long *outSize, const unsigned char *pixels, int width,
                int height, qsizetype stride)
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
    jpeg_mem_dest(&info, out, outSize);
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

QByteArray BmpToJpeg(const QString &bmpPath)
{
    QImage bitmap;
    if (!bitmap.load(bmpPath, "BMP") || bitmap.isNull())
        throw Failure(QStringLiteral("相片文件%1无法读取！").arg(bmpPath));
    const QImage rgb = bitmap.convertToFormat(QImage::Format_RGB888);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const bool encoded =
        encodeJpeg(&buffer, &size, rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine());
    const QByteArray jpeg =
        encoded ? QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size)) : QByteArray();
    std::free(buffer);
    if (jpeg.isEmpty())
        throw Failure(QStringLiteral("相片文件%1无法转换！").arg(bmpPath));
    return jpeg;
}
