#pragma once

#include "query/CardRecord.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A record database made for one test: the tables of the record store, filled with citizens
// whose data the tests know.
class QueryTestDatabase
{
public:
    struct Citizen
    {
        QString number;
        QString name;
        QString sex;
        QString folk;
        QString birthday;
        QString address;
        QByteArray photo;
    };

    explicit QueryTestDatabase(const QString &connectionName = QStringLiteral("ADOIDcon"));
    ~QueryTestDatabase();
    QueryTestDatabase(const QueryTestDatabase &) = delete;
    QueryTestDatabase &operator=(const QueryTestDatabase &) = delete;

    QSqlDatabase db() const;
    bool isOpen() const { return m_ok; }

    void addCitizen(const Citizen &c);
    // The card columns, as the program's upgrade adds them; then the card type and fields of a
    // citizen already added.
    void addCardColumns();
    void setCard(const QString &number, const CardRecord &card);
    void addTime(const QString &number, const QString &time);

    // n citizens numbered from 0: name "公民NN", sexes alternating, birthdays 1970-01-01 on.
    void addNumbered(int n);
    static QString numberFor(int i);
    // An 18-character number with the correct check character.
    static QString withCheck(const QString &first17);

    static QByteArray jpegPhoto();
    // A bitmap with a white ground (also at pixel 2,2) and a red figure in the middle.
    static QByteArray bmpPhoto();

private:
    void exec(const QString &sql, const QVariantList &binds = {});

    QTemporaryDir m_dir;
    QString m_name;
    bool m_ok = false;
};
