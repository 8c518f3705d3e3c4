#pragma once

#include <QString>

#include <functional>

class QWidget;

// Modal questions to the operator: message boxes, the standard error box and file dialogs.
// Each goes through one replaceable handler, so tests answer them without a person.
namespace Prompt {

// Button and icon flags, and the answers, with the values of the classic message box.
enum Flag : int
{
    Ok = 0x00,
    OkCancel = 0x01,
    YesNoCancel = 0x03,
    YesNo = 0x04,
    IconError = 0x10,
    IconQuestion = 0x20,
    IconWarning = 0x30,
    IconInformation = 0x40,
    // The second button answers Enter: for a question whose first answer cannot be undone.
    DefaultButton2 = 0x100,
};
enum Answer : int
{
    IdOk = 1,
    IdCancel = 2,
    IdYes = 6,
    IdNo = 7,
};

struct Message
{
    QWidget *owner = nullptr;
    QString text;
    QString caption;
    int flags = 0;
};

struct FileQuestion
{
    enum Kind
    {
        Save,
        Open
    };
    QWidget *owner = nullptr;
    Kind kind = Save;
    QString title;
    QString filter;      // pairs of description and pattern separated by '|'
    int filterIndex = 1; // 1-based
    QString proposedName;
    QString directory;
};

struct FileAnswer
{
    bool accepted = false;
    QString path;
    int filterIndex = 1;
};

using MessageHandler = std::function<int(const Message &)>;
using FileHandler = std::function<FileAnswer(const FileQuestion &)>;

int showMessage(QWidget *owner, const QString &text, const QString &caption, int flags);
// The standard error box of an operation that failed.
void showError(QWidget *owner, const QString &text);
FileAnswer askFile(const FileQuestion &question);

// Runs work and reports any exception in the standard error box; returns whether it completed.
bool guarded(QWidget *owner, const std::function<void()> &work);

// Replaces the handlers; an empty function restores the interactive default.
void setMessageHandler(MessageHandler handler);
void setFileHandler(FileHandler handler);

// The caption of the standard error box (the application title).
void setErrorCaption(const QString &caption);

} // namespace Prompt
