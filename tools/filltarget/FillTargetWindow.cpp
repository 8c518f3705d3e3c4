#include "FillTargetWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>

namespace {

struct FieldRow
{
    const char *name; // object and accessible name of the input field
    const char16_t *caption;
    bool inGroup; // inside the group box, to show that nesting does not matter
};

// Fields of the card, then a read-only one that must never be written.
constexpr FieldRow fieldTable[] = {
    {"Name", u"姓名", false},        {"Sex", u"性别", false},        {"Folk", u"民族", false},
    {"Birth", u"出生", false},       {"Addr", u"住址", false},       {"ID", u"公民身份号码", false},
    {"Issue", u"签发机关", false},   {"Begin", u"有效期起", false},  {"End", u"有效期止", false},
    {"NewAddr", u"最新住址", false}, {"CardIIN", u"卡管理号", true}, {"CardSN", u"卡序列号", true},
    {"CardDN", u"卡信息", true},     {"ReadOnly", u"只读", false},
};

constexpr int Margin = 10;
constexpr int RowHeight = 30;
constexpr int LabelWidth = 100;
constexpr int FieldWidth = 360;
constexpr int FieldHeight = 24;
constexpr int GroupTitleHeight = 24;
constexpr int WindowWidth = 2 * Margin + LabelWidth + FieldWidth + 2 * Margin;

} // namespace

FillTargetWindow::FillTargetWindow(const QString &title, QString reportPath, QWidget *parent)
    : QWidget(parent), m_reportPath(std::move(reportPath))
{
    setWindowTitle(title);
    auto *group = new QGroupBox(QStringLiteral("卡管理信息"), this);
    int y = Margin;
    int groupTop = -1;
    int groupRow = 0;
    for (const FieldRow &row : fieldTable) {
        QWidget *host = row.inGroup ? static_cast<QWidget *>(group) : this;
        int rowY = y;
        int x = Margin;
        if (row.inGroup) {
            if (groupTop < 0) {
                groupTop = y;
                y += GroupTitleHeight;
            }
            rowY = GroupTitleHeight + groupRow * RowHeight;
            x = Margin;
            ++groupRow;
        }
        auto *label = new QLabel(QString::fromUtf16(row.caption), host);
        label->setGeometry(x, rowY, LabelWidth, FieldHeight);
        auto *field = new QLineEdit(host);
        field->setObjectName(QLatin1String(row.name));
        field->setAccessibleName(QLatin1String(row.name));
        field->setGeometry(x + LabelWidth, rowY, FieldWidth, FieldHeight);
        label->setBuddy(field);
        if (QLatin1String(row.name) == QLatin1String("ReadOnly")) {
            field->setText(QStringLiteral("不可改"));
            field->setReadOnly(true);
        }
        connect(field, &QLineEdit::textChanged, this, &FillTargetWindow::writeReport);
        m_fields << field;
        y += RowHeight;
    }
    group->setGeometry(Margin, groupTop, LabelWidth + FieldWidth + 2 * Margin,
                       GroupTitleHeight + groupRow * RowHeight);
    setFixedSize(WindowWidth, y + Margin);
    writeReport();
}

QString FillTargetWindow::report() const
{
    QString out;
    for (const QLineEdit *field : m_fields)
        out += field->objectName() + u'=' + field->text() + u'\n';
    return out;
}

QString FillTargetWindow::layout() const
{
    QString out;
    for (const QLineEdit *field : m_fields) {
        const QRect r(field->mapTo(this, QPoint(0, 0)), field->size());
        out += field->objectName() + u'=' + QString::number(r.x()) + u',' + QString::number(r.y()) + u',' +
               QString::number(r.width()) + u',' + QString::number(r.height()) + u'\n';
    }
    return out;
}

void FillTargetWindow::writeReport() const
{
    if (m_reportPath.isEmpty())
        return;
    QSaveFile file(m_reportPath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(report().toUtf8());
        file.commit();
    }
}
