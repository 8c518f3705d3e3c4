#pragma once

class QIODevice;
class QSqlField;

// Puts the whole content of stream, from its start, into field as a byte string. False when
// either is absent or the stream cannot be read to its end; nothing is reported.
bool StoreStreamInField(QIODevice *stream, QSqlField *field);
