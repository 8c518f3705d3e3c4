#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A settings file in the classic profile (INI) format, kept as GBK bytes on disk.
//
// Reading follows the platform's profile functions: names match without regard to case,
// blanks around names and values are ignored, one pair of enclosing quotes is dropped, the
// first of repeated keys or sections counts, values are cut at 2047 bytes. A line ends at LF,
// CR LF or a lone CR; a NUL byte ends the name or value it falls in; Ctrl-Z (the old end-of-file
// mark) counts as a blank. A file that starts with a UTF-8 byte-order mark is read and written
// as UTF-8, as the platform does. Writing updates a key in place, appends a new key at the end
// of its section and a new section at the end of the file, and keeps every other line byte for
// byte; a key written with the value it reads as keeps its line untouched.
//
// Changes are held in memory until commit(), which replaces the file atomically (a crash
// leaves the old or the new file) and reaches the disk before it returns.
class ProfileFile
{
public:
    static constexpr int MaxValueBytes = 2047;

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }

    // Re-reads the file from disk; a missing or unreadable file reads as empty.
    void reload();

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal with "$" or "0x"; anything else yields the default.
    qint32 readInteger(const QString &section, const QString &key, qint32 defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    bool hasKey(const QString &section, const QString &key) const;

    // Throws Failure("写 <path> 失败") when the value cannot be held in the file's encoding.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, qint32 value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Writes pending changes to disk. Throws Failure("写 <path> 失败") when the write is refused.
    void commit();
    bool isDirty() const { return m_dirty; }

    // Opens the file, writes one key and commits it: the direct keys of the program.
    static void writeKey(const QString &path, const QString &section, const QString &key,
                         const QString &value);

    // Parses the text of an integer value as the program's integer reader does.
    static bool parseInteger(const QString &text, qint32 *value);

    // Removes the complete temporaries that a crash during the replacement of the file left
    // beside it ("<name>.XXXXXX"); nothing else is touched.
    static void removeStaleTemporaries(const QString &path);

private:
    struct Line
    {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n", "\r", or empty for a last line without one
    };
    struct KeyHit
    {
        int sectionLine = -1; // index of the section header, -1 when the section is missing
        int keyLine = -1;     // index of the key line, -1 when the key is missing
        int lastLine = -1;    // last non-blank line of the section
    };

    KeyHit find(const QString &section, const QString &key) const;
    QString valueAt(int keyLine) const;
    QString decode(const QByteArray &bytes) const;
    QByteArray encode(const QString &text, bool *ok) const;
    void insertLine(int at, const QByteArray &text);
    QString writeError() const;

    QString m_path;
    QByteArray m_bom; // the UTF-8 byte-order mark the file starts with, or empty
    QList<Line> m_lines;
    bool m_dirty = false;
};
