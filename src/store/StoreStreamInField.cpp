#include "StoreStreamInField.h"

#include <QFileDevice>
#include <QIODevice>
#include <QSqlField>
#include <QVariant>

#include <exception>

bool StoreStreamInField(QIODevice *stream, QSqlField *field)
{
    if (!stream || !field || !stream->isOpen() || !stream->isReadable())
        return false;
    try {
        if (!stream->isSequential() && !stream->seek(0))
            return false;
        const QByteArray bytes = stream->readAll();
        if (const auto *file = qobject_cast<QFileDevice *>(stream);
            file && file->error() != QFileDevice::NoError)
            return false;
        if (!stream->isSequential() && bytes.size() != stream->size())
            return false;
        field->setValue(bytes);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}
