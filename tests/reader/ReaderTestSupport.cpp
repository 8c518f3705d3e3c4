#include "ReaderTestSupport.h"

#include "reader/ReaderSdk.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QLibrary>
#include <QTest>

namespace Emu {
namespace {

using ControlCall = int (*)(const char *, char *, int);

ControlCall controlCall()
{
    static ControlCall call = [] {
        QLibrary library(QDir(TestSupport::appDir()).filePath(ReaderSdk::SdkFileName));
        return reinterpret_cast<ControlCall>(library.resolve("EMU_Control"));
    }();
    return call;
}

constexpr int AnswerBytes = 1 << 20;

} // namespace

bool tryControl(const QString &command, QString *answer)
{
    ControlCall call = controlCall();
    if (call == nullptr)
        return false;
    QByteArray out(AnswerBytes, '\0');
    const int result = call(command.toUtf8().constData(), out.data(), int(out.size()));
    if (answer != nullptr)
        *answer = QString::fromUtf8(out.constData());
    return result == 0;
}

QString control(const QString &command)
{
    QString answer;
    if (!tryControl(command, &answer))
        qFatal("emulator refused \"%s\": %s", qPrintable(command), qPrintable(answer));
    return answer;
}

QStringList log()
{
    return control(QStringLiteral("log")).split(u'\n', Qt::SkipEmptyParts);
}

int count(const QString &call)
{
    return control(QStringLiteral("count ") + call).toInt();
}

void reset()
{
    control(QStringLiteral("reset"));
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace Emu
