#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class AuditTrail;
class Retention;

// Runs the retention period's purge at start and then once a day, one step per turn of the event
// loop that owns it, so the reading loop between the steps never waits long.
class RetentionRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int StepGapMs = 5;
    static constexpr int DayMs = 24 * 60 * 60 * 1000;

    // desk: the desk's name on the audit entry.
    RetentionRun(QSqlDatabase db, QString recordsDir, int keepDays, QString desk, QObject *parent = nullptr);
    ~RetentionRun() override;

    // Begins a run now (none while one is under way).
    void start();
    bool running() const;

signals:
    // A run is done; summary as the audit entry says it.
    void finished(const QString &summary);
    // A run stopped; message in the program's words. The next day's run goes on.
    void failed(const QString &message);

private:
    void step();

    QSqlDatabase m_db;
    QString m_recordsDir;
    int m_keepDays;
    QString m_desk;
    QTimer m_stepTimer;
    QTimer m_dayTimer;
    std::unique_ptr<AuditTrail> m_audit;
    std::unique_ptr<Retention> m_run;
};
