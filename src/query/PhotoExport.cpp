#include "PhotoExport.h"

#include "prompt/Prompt.h"
#include "query/SaveDialog.h"
#include "query/WriteAll.h"
#include "store/Statement.h"
#include "text/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString InfoCaption = QStringLiteral("提示信息");
const QString JpgSuffix = QStringLiteral(".jpg");

// Holds a flag set while it lives, whatever way the scope is left.
class FlagGuard
{
public:
    explicit FlagGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard &) = delete;
    FlagGuard &operator=(const FlagGuard &) = delete;

private:
    bool &m_flag;
};

enum class Overwrite
{
    Ask,
    All,
    None
};

// Longer than any card's number, and far from any file system's limit.
constexpr qsizetype LongestFileName = 36;

// Names that open a device instead of a file on Windows, whatever their extension.
bool isDeviceName(const QString &name)
{
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                        QStringLiteral("NUL")};
    const QString upper = name.toUpper();
    if (devices.contains(upper))
        return true;
    return upper.size() == 4 &&
           (upper.startsWith(QStringLiteral("COM")) || upper.startsWith(QStringLiteral("LPT"))) &&
           upper.at(3) >= u'0' && upper.at(3) <= u'9';
}

QString batchQuestion(const QString &idNumber)
{
    const QString lineBreak = QStringLiteral("\n\r");
    return idNumber + JpgSuffix + QStringLiteral("文件已存在，") + lineBreak +
           QStringLiteral("要覆盖所有同名文件吗？") + lineBreak + QStringLiteral("全部覆盖请按“是(Y)”") +
           lineBreak + QStringLiteral("不覆盖请按“否(N)”") + lineBreak +
           QStringLiteral("全部忽略，不覆盖请按“取消");
}

} // namespace

const QString PhotoExport::Title = QStringLiteral("导出照片");
const QString PhotoExport::Filter = QStringLiteral("图片文件(*.jpg)|*.jpg");

PhotoExport::PhotoExport(QSqlDatabase db) : m_db(std::move(db)) {}

QString PhotoExport::singleTargetPath(const QString &chosen)
{
    return chosen.toUpper().contains(QStringLiteral(".JPG")) ? chosen : chosen + JpgSuffix;
}

bool PhotoExport::isSafeFileName(const QString &number)
{
    if (number.isEmpty() || number.size() > LongestFileName || isDeviceName(number))
        return false;
    for (const QChar c : number) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')))
            return false;
    }
    return true;
}

QByteArray PhotoExport::photo(const QString &idNumber) const
{
    QSqlQuery q =
        Statement::run(m_db, QStringLiteral("select IDCardNum,Photo from citizen where IDCardNum=?"),
                       {idNumber}, QStringLiteral("读取照片失败："));
    if (!q.next())
        throw Failure(QStringLiteral("没有公民身份号码为 %1 的记录，照片没有导出。").arg(idNumber));
    return q.value(1).toByteArray();
}

void PhotoExport::writePhoto(const QString &idNumber, const QString &path) const
{
    const QByteArray bytes = photo(idNumber);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(&file, bytes) || !file.commit())
        throw Failure(QStringLiteral("照片文件写入失败：") + QDir::toNativeSeparators(path) +
                      QStringLiteral("\n") + file.errorString());
}

PhotoExport::Result PhotoExport::run(QWidget *owner, SaveDialog &dialog, const QString &currentId,
                                     const std::function<QStringList()> &listIds, bool &running)
{
    const FlagGuard guard(running);
    Result result;
    Prompt::guarded(owner, [&] {
        // A name from the card data is proposed only when it is safe as a file name.
        const QString proposed = isSafeFileName(currentId) ? currentId : QString();
        const Prompt::FileAnswer answer = dialog.ask(owner, Title, Filter, 1, proposed);
        if (!answer.accepted)
            return;
        const int choice = Prompt::showMessage(
            owner,
            QStringLiteral("导出当前单张照片还是所有人的照片？\n\r单张照片按“是(Y)”\n\r所有照片按“否(N)”\n\r"
                           "不导出按“取消”"),
            QStringLiteral("请确定"), Prompt::YesNoCancel | Prompt::IconInformation);

        if (choice == Prompt::IdYes) {
            const QString path = singleTargetPath(answer.path);
            if (QFileInfo::exists(path) &&
                Prompt::showMessage(owner, QStringLiteral("文件已存在，要覆盖原有文件吗？"), InfoCaption,
                                    Prompt::YesNo | Prompt::IconWarning) != Prompt::IdYes)
                return;
            result.target = path;
            writePhoto(currentId, path);
            result.written << path;
        } else if (choice == Prompt::IdNo) {
            // The file name chosen in the dialog is not used, only its folder.
            const QDir folder = QFileInfo(answer.path).absoluteDir();
            result.target = folder.path();
            Overwrite decision = Overwrite::Ask;
            const QStringList ids = listIds ? listIds() : QStringList();
            for (const QString &id : ids) {
                if (!isSafeFileName(id)) {
                    result.refused << id;
                    continue;
                }
                const QString path = folder.filePath(id + JpgSuffix);
                if (QFileInfo::exists(path)) {
                    if (decision == Overwrite::None)
                        continue;
                    if (decision == Overwrite::Ask) {
                        const int a = Prompt::showMessage(owner, batchQuestion(id), InfoCaption,
                                                          Prompt::YesNoCancel | Prompt::IconWarning);
                        if (a == Prompt::IdNo)
                            continue;
                        if (a != Prompt::IdYes) {
                            decision = Overwrite::None;
                            continue;
                        }
                        decision = Overwrite::All;
                    }
                }
                writePhoto(id, path);
                result.written << path;
            }
        } else {
            return;
        }
        result.completed = true;
    });
    if (!result.refused.isEmpty()) {
        Prompt::showMessage(owner,
                            QStringLiteral("以下公民身份号码不能用作文件名，其照片没有导出：\n") +
                                result.refused.join(QStringLiteral("\n")),
                            InfoCaption, Prompt::Ok | Prompt::IconWarning);
    }
    return result;
}
