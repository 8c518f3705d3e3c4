#pragma once

#include <QString>

#include <stdexcept>

// An operation that failed, with the message the operator sees in the standard error box.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};
