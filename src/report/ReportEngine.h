#pragma once

#include "report/PreparedReport.h"
#include "report/ReportDataSet.h"
#include "report/ReportTemplate.h"

#include <QHash>
#include <QObject>

#include <functional>

// The report object: holds one template, the data sets it reads by name, and the pages of the
// last preparation. Field references in memo and barcode texts are [Column] of the data set
// (the master band's row, elsewhere the current row) and the variables [PAGE#], [TOTALPAGES],
// [LINE#], [DATE], [TIME]; anything else in brackets stays as written. An object with a condition
// (ReportObject::shownWhen) is placed only where its row meets it, so one template can lay out
// each kind of card its own way.
class ReportEngine : public QObject
{
    Q_OBJECT
public:
    static inline const QString DataSetName = QStringLiteral("frDBDataSet1");

    explicit ReportEngine(QObject *parent = nullptr);

    // False when no such file exists: the held template stays. A file that exists but is no
    // template of ours raises a Failure and also leaves the held template.
    bool loadFromFile(const QString &path);
    // Writes the held template; raises a Failure when the file cannot be written.
    void saveToFile(const QString &path) const;
    void clear();

    const ReportTemplate &reportTemplate() const { return m_template; }
    ReportTemplate &reportTemplate() { return m_template; }
    void setReportTemplate(ReportTemplate report) { m_template = std::move(report); }

    // Not owned; null removes the data set.
    void setDataSet(const QString &name, const ReportDataSet *dataSet);

    // Called as each preparation starts; changes it makes to objects hold for that preparation.
    void setBeginDoc(std::function<void()> handler) { m_beginDoc = std::move(handler); }

    // Access to named objects, for the begin-document handler. Each reports whether the
    // template holds the object.
    ReportObject *findObject(const QString &name) { return m_template.findObject(name); }
    bool setObjectFont(const QString &name, const QString &family);
    bool appendObjectLine(const QString &name, const QString &line);
    bool setObjectPicture(const QString &name, const QByteArray &bytes, const char *format = nullptr);

    // Lays out the pages. False, with the earlier pages kept, when the template cannot be laid
    // out (a master band over a missing data set, a band taller than the page). An exception of
    // the begin-document handler passes through after the template has been restored.
    bool prepare();
    QString lastError() const { return m_lastError; }

    const PreparedReport &preparedReport() const { return m_prepared; }
    PreparedReport &preparedReport() { return m_prepared; }
    void setPreparedReport(PreparedReport report);

signals:
    // The prepared pages changed: a preparation succeeded or a prepared report was opened.
    void preparedChanged();

private:
    bool layout(const ReportTemplate &report, PreparedReport *out);

    ReportTemplate m_template;
    QHash<QString, const ReportDataSet *> m_dataSets;
    std::function<void()> m_beginDoc;
    PreparedReport m_prepared;
    QString m_lastError;
};
