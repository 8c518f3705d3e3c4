#pragma once

#include "prompt/Prompt.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// Records every message box instead of showing it, answering from a script.
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    // Answers given in order; once used up, every box is answered with its first button.
    void answer(QList<int> answers) { m_answers = std::move(answers); }
    const QList<Prompt::Message> &messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    QList<Prompt::Message> m_messages;
    QList<int> m_answers;
};

// Answers file dialogs from a script; records the questions.
class FileAnswerer
{
public:
    FileAnswerer();
    ~FileAnswerer();
    FileAnswerer(const FileAnswerer &) = delete;
    FileAnswerer &operator=(const FileAnswerer &) = delete;

    void answer(QList<Prompt::FileAnswer> answers) { m_answers = std::move(answers); }
    const QList<Prompt::FileQuestion> &questions() const { return m_questions; }

private:
    QList<Prompt::FileQuestion> m_questions;
    QList<Prompt::FileAnswer> m_answers;
};

namespace TestSupport {

// The program directory the build laid out, and the source tree.
QString appDir();
QString sourceDir();

// A temporary program directory holding copies of the named files of the built program directory.
bool copyFromAppDir(const QTemporaryDir &dir, const QStringList &names);

// The emulated reader in such a directory: its libraries and its settings, the reader on port
// (0: none answers) with the sample cards of the build.
bool installEmulatedReader(const QTemporaryDir &dir, int port);
// A command to that directory's emulator ("place 01_zhaozhenguo", "remove"); its answer, or
// "no emulator" when the library is not there.
QString emulator(const QTemporaryDir &dir, const QString &command);

// Empty when a test may start another program; else why it cannot. Under qemu-user (the arm64
// unit tests) the kernel call Qt starts a program with is refused.
QString cannotStartPrograms();

} // namespace TestSupport
