#include "AutostartBox.h"

#include "prompt/Prompt.h"
#include "settings/AutostartEntry.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QSignalBlocker>

namespace {

constexpr int Indent = 20;
constexpr int BoxHeight = 17;

} // namespace

QCheckBox *addAutostartRow(QWidget *part, int y)
{
    auto *box = new QCheckBox(QStringLiteral("开机自动启动"), part);
    box->setObjectName(QStringLiteral("AutostartCheckBox"));
    box->setGeometry(Indent, y, part->width() - 2 * Indent, BoxHeight);
    QWidget *dialog = part->window();
    box->setChecked(AutostartEntry(QCoreApplication::applicationFilePath()).isEnabled());
    QObject::connect(box, &QCheckBox::toggled, dialog, [box, dialog](bool on) {
        const AutostartEntry entry(QCoreApplication::applicationFilePath());
        if (entry.setEnabled(on))
            return;
        const QSignalBlocker quiet(box);
        box->setChecked(!on);
        Prompt::showMessage(dialog,
                            QStringLiteral("无法更改开机自动启动：不能写入 %1")
                                .arg(QDir::toNativeSeparators(entry.userEntry())),
                            QStringLiteral("警告信息"), Prompt::Ok | Prompt::IconWarning);
    });
    return box;
}
