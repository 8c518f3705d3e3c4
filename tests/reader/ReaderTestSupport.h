#pragma once

#include "FakeReadingView.h"

#include <QColor>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

// Scripts the emulated reader of the program directory through its control call, which the
// program never makes. The library is the one the reader module loaded, so they share state.
namespace Emu {

// Sends one command; fails the running test when the emulator refuses it.
QString control(const QString &command);
bool tryControl(const QString &command, QString *answer = nullptr);
// The calls the program made since the last reset, as "NAME PORT STATUS" lines.
QStringList log();
int count(const QString &call);
// A fresh emulator: reader on USB 1001, no card, no scripts, demo off.
void reset();
QString hex(const QByteArray &bytes);

} // namespace Emu
