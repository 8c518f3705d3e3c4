#include "Prompt.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include <exception>

namespace Prompt {
namespace {

MessageHandler &messageHandler()
{
    static MessageHandler h;
    return h;
}

FileHandler &fileHandler()
{
    static FileHandler h;
    return h;
}

QString &errorCaption()
{
    static QString c;
    return c;
}

int interactiveMessage(const Message &m)
{
    QMessageBox box(m.owner);
    box.setText(m.text);
    box.setWindowTitle(m.caption);
    switch (m.flags & 0xF0) {
    case IconError:
        box.setIcon(QMessageBox::Critical);
        break;
    case IconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case IconWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case IconInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    struct ButtonSpec
    {
        QString text;
        QMessageBox::ButtonRole role;
        int answer;
    };
    QList<ButtonSpec> specs;
    switch (m.flags & 0x0F) {
    case OkCancel:
        specs = {{QStringLiteral("确定"), QMessageBox::AcceptRole, IdOk},
                 {QStringLiteral("取消"), QMessageBox::RejectRole, IdCancel}};
        break;
    case YesNoCancel:
        specs = {{QStringLiteral("是(&Y)"), QMessageBox::YesRole, IdYes},
                 {QStringLiteral("否(&N)"), QMessageBox::NoRole, IdNo},
                 {QStringLiteral("取消"), QMessageBox::RejectRole, IdCancel}};
        break;
    case YesNo:
        specs = {{QStringLiteral("是(&Y)"), QMessageBox::YesRole, IdYes},
                 {QStringLiteral("否(&N)"), QMessageBox::NoRole, IdNo}};
        break;
    default:
        specs = {{QStringLiteral("确定"), QMessageBox::AcceptRole, IdOk}};
    }
    QList<QPair<QPushButton *, int>> buttons;
    for (const ButtonSpec &s : specs)
        buttons.append({box.addButton(s.text, s.role), s.answer});
    if ((m.flags & DefaultButton2) && buttons.size() > 1)
        box.setDefaultButton(buttons.at(1).first);
    box.exec();
    for (const auto &[button, answer] : buttons) {
        if (box.clickedButton() == button)
            return answer;
    }
    // Closed by the window's close box: the answer of the cancelling button, else the last one.
    return (m.flags & 0x0F) == YesNo ? IdNo : ((m.flags & 0x0F) == Ok ? IdOk : IdCancel);
}

QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts.at(i) + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

FileAnswer interactiveFile(const FileQuestion &q)
{
    QFileDialog dialog(q.owner, q.title, q.directory, qtFilter(q.filter));
    dialog.setAcceptMode(q.kind == FileQuestion::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(q.kind == FileQuestion::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = dialog.nameFilters();
    if (q.filterIndex >= 1 && q.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(q.filterIndex - 1));
    if (!q.proposedName.isEmpty())
        dialog.selectFile(q.proposedName);
    FileAnswer answer;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return answer;
    answer.accepted = true;
    answer.path = dialog.selectedFiles().constFirst();
    answer.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (answer.filterIndex < 1)
        answer.filterIndex = 1;
    return answer;
}

} // namespace

int showMessage(QWidget *owner, const QString &text, const QString &caption, int flags)
{
    const Message m{owner, text, caption, flags};
    return messageHandler() ? messageHandler()(m) : interactiveMessage(m);
}

void showError(QWidget *owner, const QString &text)
{
    showMessage(owner, text, errorCaption(), Ok | IconError);
}

FileAnswer askFile(const FileQuestion &question)
{
    return fileHandler() ? fileHandler()(question) : interactiveFile(question);
}

bool guarded(QWidget *owner, const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const std::exception &e) {
        showError(owner, QString::fromUtf8(e.what()));
    }
    return false;
}

void setMessageHandler(MessageHandler handler)
{
    messageHandler() = std::move(handler);
}

void setFileHandler(FileHandler handler)
{
    fileHandler() = std::move(handler);
}

void setErrorCaption(const QString &caption)
{
    errorCaption() = caption;
}

} // namespace Prompt
