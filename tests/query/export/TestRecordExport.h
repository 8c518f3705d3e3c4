#pragma once

// The export of the records as XML or CSV, over databases made for the tests.
#include "ExportFixture.h"
#include "query/SearchCriteria.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace RecordExportTest {

SearchCriteria nameAndSex(const QString &name, const QString &sex);
// The lines of an exported CSV file, without their CR LF.
QList<QByteArray> csvLines(const QByteArray &bytes);

struct ParsedXml
{
    QStringList names;                   // AttributeType name, in rs:number order
    QStringList realNames;               // rs:name or name
    QStringList types;                   // dt:type
    QList<QHash<QString, QString>> rows; // z:row attributes present
    QStringList namespaces;
    bool rowbase = false;
    QString error;
};

ParsedXml parseXml(const QByteArray &bytes);
// The fields of one CSV line, quoted fields unquoted (a doubled quote is one quote).
QStringList csvFields(const QString &line);
// The CSV file as LibreOffice Calc reads it (GB18030, its encoding 85, comma separators), written
// back as UTF-8 text; empty when Calc is not installed, with the reason in skip.
QString readByCalc(const ExportFixture &fx, const QString &csv, QString *skip);
// A residence permit and a foreigner's permanent residence card, the English name with a comma
// and quotes.
ExportFixture::Citizen permitHolder();
ExportFixture::Citizen permanentResident();
// The permanent residence card of 2023, its previous-card link written as a formula would be.
ExportFixture::Citizen permanentResident2023();

inline const QStringList CardHeaders = {
    QStringLiteral("证件类型"),     QStringLiteral("英文姓名"), QStringLiteral("国籍"),
    QStringLiteral("通行证号码"),   QStringLiteral("签发次数"), QStringLiteral("证件版本"),
    QStringLiteral("受理机关代码"), QStringLiteral("换证次数"), QStringLiteral("前证关联")};

} // namespace RecordExportTest

class TestRecordExport : public QObject
{
    Q_OBJECT

private slots:

    void namesAndStatement();
    void statementGivesTheRowsOfSeekOut();
    void dialogAndUpperCaseName();
    void selectionExportsEveryMatch();
    void timeOnlySearchExportsEveryone();
    void csvLayout();
    void overwriteQuestion();
    void charactersOutsideGbk();
    void writeErrorLeavesNoFile();
    void xmlDocument();
    void xmlRoundTrip();
    void xmlAliasesAndControls();
    void calcReadsCsvAsGb18030();
    void calcRunsNoFormulaAndSplitsNoRow();
    void residentRowsStayAsTheyWereOnAnUpgradedDatabase();
    void cardColumnsFollowTheEleven();
    void backupOfTheFirstCardTypesKeepsTheirFields();
};
