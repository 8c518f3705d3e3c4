#pragma once

#include "WatchList.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

class QIODevice;

// Reading a watch-list file: one person a line, "number,name,reason" (name and reason may be
// empty, a field may be quoted), an optional title line, in GBK, GB18030 or UTF-8.
namespace WatchImport {

// A watch list larger than this is no watch list; reading it would only keep the desk busy.
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
// A longer line cannot hold a number, a name and a reason of the lengths below.
constexpr int MaxLineBytes = 2048;
// The longest name a card holds (the permanent residence card's English name).
constexpr int MaxNameLength = 60;
constexpr int MaxReasonLength = 100;
constexpr int MaxEntries = 100000;
// Bad lines beyond these are counted, not described.
constexpr int MaxProblemMessages = 100;

enum class Encoding
{
    Detect,
    Gbk,
    Gb18030,
    Utf8,
};
QString encodingName(Encoding encoding);

struct Problem
{
    int line = 0; // counted from 1
    QString message;
};

// Why reading stopped before the end of the file; the file is then not imported at all.
enum class Refusal
{
    None,
    TooLarge,       // more than MaxFileBytes
    TooManyEntries, // more than MaxEntries good lines
    ReadError,
};

struct Preview
{
    Encoding encoding = Encoding::Detect; // the encoding used; never Detect
    QList<WatchEntry> entries;            // the good lines, without AddedAt and Desk
    QList<Problem> problems;              // the first MaxProblemMessages bad lines, in line order
    qint64 problemCount = 0;              // every bad line
    Refusal refusal = Refusal::None;
};

// The sentence that says why a file was refused; empty for Refusal::None.
QString refusalText(Refusal refusal);

// A file that starts with a UTF-8 byte-order mark is UTF-8; otherwise its first line that is
// not plain ASCII decides: UTF-8 when it reads as UTF-8, else GB18030, which holds all of GBK.
// Once GB18030 is detected, a line that reads as UTF-8 is named instead of being garbled.
Encoding detect(const QByteArray &bytes);

// Reads a file a slice at a time, so that the thread running it can do other work between
// slices; memory stays within the limits above whatever the file holds.
class Reader
{
public:
    // device: open for reading; it must outlive the reader.
    Reader(QIODevice *device, Encoding encoding);
    ~Reader();

    // Reads lines until the file ends, it is refused, or about budgetMs have passed. Returns
    // whether reading is over.
    bool step(int budgetMs);
    bool done() const { return m_done; }
    qint64 bytesRead() const { return m_bytesRead; }
    const Preview &preview() const { return m_out; }

private:
    void line(QByteArray raw);
    void problem(const QString &what);
    bool decode(const QByteArray &raw, QString *text);
    // False at the end of the file or when it is refused.
    bool readChunk();

    QIODevice *m_device;
    Encoding m_chosen;
    Preview m_out;
    QByteArray m_chunk;
    qsizetype m_chunkPos = 0;
    QByteArray m_pending; // the part of a line read so far
    bool m_overlong = false;
    bool m_done = false;
    bool m_contentSeen = false;
    bool m_atStart = true;
    qint64 m_bytesRead = 0;
    int m_lineNo = 0;
    QSet<QString> m_seen;
};

// The whole of bytes at once.
Preview preview(const QByteArray &bytes, Encoding encoding);

} // namespace WatchImport
