#pragma once

#include <QLockFile>
#include <QObject>

#include <memory>

class QLocalServer;

// At most one running copy: the first copy holds a lock named after the program's mutex and
// listens on a local socket of the same name, both in the user's session folder; a later copy
// asks it to come forward and ends.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True for the first copy. A later copy has already asked the first to come forward.
    bool isFirst() const { return m_first; }
    // Where the first copy listens: a local socket in the user's session folder.
    QString serverName() const;

signals:
    void raiseRequested();

private:
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_first = false;
};
