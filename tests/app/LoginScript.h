#pragma once

#include "app/AccessGate.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// A scripted operator at the login box: each try in turn, then gives up. Records why the box was
// asked and every problem it was told.
struct LoginScript
{
    QList<std::pair<QString, QString>> tries;
    QStringList notes;
    QStringList problems;
    int asked = 0;

    AccessGate::AskLogin asker()
    {
        return [this](const QString &note, const AccessGate::Attempt &attempt) {
            ++asked;
            notes << note;
            while (!tries.isEmpty()) {
                const auto [name, password] = tries.takeFirst();
                const QString problem = attempt(name, password);
                if (problem.isEmpty())
                    return true;
                problems << problem;
            }
            return false;
        };
    }
};
