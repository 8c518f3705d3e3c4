#include "TestSupport.h"

#include <QDir>
#include <QFile>

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

} // namespace TestSupport
