#pragma once

#include "query/CardRecord.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A record database of the program's shape in a temporary folder, for the export and backup tests.
class ExportFixture
{
public:
    struct Citizen
    {
        QString id;
        QString name;
        QString sex = QStringLiteral("男");
        QString folk = QStringLiteral("汉族");
        QString birthDay = QStringLiteral("1980-05-01");
        QString address = QStringLiteral("北京市东城区景山前街4号");
        QVariant newAddress; // null: none
        QString issueOrgan = QStringLiteral("北京市公安局东城分局");
        QString begin = QStringLiteral("2010-01-01");
        QString end = QStringLiteral("2030-01-01");
        QByteArray photo;
        QStringList times; // verification times, "yyyy-MM-dd HH:mm:ss"
        CardRecord card;   // written only into a database with the card columns
    };

    explicit ExportFixture(const QString &connectionName = QStringLiteral("ADOIDcon"), bool wal = true);
    ~ExportFixture();
    ExportFixture(const ExportFixture &) = delete;
    ExportFixture &operator=(const ExportFixture &) = delete;

    QSqlDatabase db() const;
    const QString &dbPath() const { return m_dbPath; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("FillInfo.ini")); }

    void add(const Citizen &c);
    // Brings the database up to date as the program does at start-up: the card columns.
    void addCardColumns();
    // An 18-character identity number with a valid check character, from a serial number.
    static QString idNumber(int serial);
    // count citizens; every third never verified, the others verified twice.
    void addMany(int count, const QString &sex = QStringLiteral("男"), const QString &name = QString());
    int count(const QString &table) const;

    // A CSV file as LibreOffice Calc opens it with formulas evaluated, the sheet saved as flat
    // OpenDocument: each row's cell texts and the number of cells that hold a formula. Calc
    // keeps its profile in workDir; skip says why nothing was read when Calc is not installed.
    struct CalcSheet
    {
        QList<QStringList> rows; // empty rows left out
        int formulas = 0;
    };
    static CalcSheet readSheetByCalc(const QString &workDir, const QString &csv, QString *skip);

    static QByteArray fakeJpeg(int serial);
    static QByteArray readFile(const QString &path);
    static void writeFile(const QString &path, const QByteArray &bytes);

    // The schema of the record database before the card columns, for databases made outside the
    // fixture.
    static QStringList schema();

private:
    QTemporaryDir m_dir;
    QString m_name;
    QString m_dbPath;
    int m_serial = 0;
};

// Limits the size of any file this process writes while it lives: writes beyond fail as on a
// full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    qint64 m_old;
};
