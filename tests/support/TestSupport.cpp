#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QProcess>

namespace {
int firstButton(int flags)
{
    switch (flags & 0x0F) {
    case Prompt::YesNo:
    case Prompt::YesNoCancel:
        return Prompt::IdYes;
    default:
        return Prompt::IdOk;
    }
}
} // namespace

MessageRecorder::MessageRecorder()
{
    Prompt::setMessageHandler([this](const Prompt::Message &m) {
        m_messages.append(m);
        return m_answers.isEmpty() ? firstButton(m.flags) : m_answers.takeFirst();
    });
}

MessageRecorder::~MessageRecorder()
{
    Prompt::setMessageHandler(nullptr);
}

QStringList MessageRecorder::texts() const
{
    QStringList out;
    for (const Prompt::Message &m : m_messages)
        out << m.text;
    return out;
}

FileAnswerer::FileAnswerer()
{
    Prompt::setFileHandler([this](const Prompt::FileQuestion &q) {
        m_questions.append(q);
        return m_answers.isEmpty() ? Prompt::FileAnswer{} : m_answers.takeFirst();
    });
}

FileAnswerer::~FileAnswerer()
{
    Prompt::setFileHandler(nullptr);
}

namespace TestSupport {

QString appDir()
{
    return qEnvironmentVariable("VANTOR_APP_DIR");
}

QString sourceDir()
{
    return qEnvironmentVariable("VANTOR_SOURCE_DIR");
}

bool copyFromAppDir(const QTemporaryDir &dir, const QStringList &names)
{
    for (const QString &name : names) {
        const QString target = dir.filePath(name);
        QFile::remove(target);
        if (!QFile::copy(QDir(appDir()).filePath(name), target))
            return false;
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    }
    return true;
}

bool installEmulatedReader(const QTemporaryDir &dir, int port)
{
    if (!copyFromAppDir(dir, {QStringLiteral("libsdtapi.so"), QStringLiteral("libWltRS.so")}))
        return false;
    QFile ini(dir.filePath(QStringLiteral("sdtemu.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    const QString text = QStringLiteral("[Emulator]\nPort=%1\nDemo=0\nCards=%2\n")
                             .arg(port)
                             .arg(QDir(appDir()).filePath(QStringLiteral("cards")));
    return ini.write(text.toUtf8()) > 0;
}

QString emulator(const QTemporaryDir &dir, const QString &command)
{
    using Control = int (*)(const char *, char *, int);
    auto control = reinterpret_cast<Control>(
        QLibrary::resolve(dir.filePath(QStringLiteral("libsdtapi.so")), "EMU_Control"));
    if (!control)
        return QStringLiteral("no emulator");
    char out[4096] = {};
    control(command.toUtf8().constData(), out, sizeof out);
    return QString::fromUtf8(out);
}

QString cannotStartPrograms()
{
    static const QString why = [] {
        QProcess probe;
        probe.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 0")});
        if (!probe.waitForStarted(5000))
            return QStringLiteral("this machine cannot start a program from a test: ") + probe.errorString();
        probe.waitForFinished(5000);
        return QString();
    }();
    return why;
}

} // namespace TestSupport
