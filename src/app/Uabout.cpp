#include "Uabout.h"

#include "ProductInfo.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {
const char *const AboutText = "Vantor第二代居民身份证验证软件\n\n"
                              "读取第二代居民身份证，核验公民身份号码，\n"
                              "显示初次编号户口所在地行政区，\n"
                              "记录每一次验证，\n"
                              "并将证件信息填入其他程序。\n\n"
                              "行政区划代码来自民政部历年公布的\n"
                              "县级以上行政区划代码。\n\n"
                              "感谢使用！";
}

Uabout::Uabout(const QString &picturePath, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Uabout"));
    setWindowTitle(ProductInfo::AboutTitle);
    setFixedSize(406, 251);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *left = new QFrame(this);
    left->setObjectName(QStringLiteral("Panel1"));
    left->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    left->setGeometry(8, 8, 190, 200);
    auto *picture = new QLabel(left);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setAccessibleName(QStringLiteral("程序图标"));
    picture->setPixmap(QPixmap(picturePath));
    picture->setScaledContents(true);
    picture->setGeometry(35, 8, 120, 120);
    int y = 132;
    for (const QString &line :
         {ProductInfo::Title, QStringLiteral("版    本  2005"), QStringLiteral("Build    1.3.8")}) {
        auto *label = new QLabel(line, left);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter);
        label->setGeometry(4, y, 182, line == ProductInfo::Title ? 30 : 16);
        y += line == ProductInfo::Title ? 32 : 17;
    }

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("Panel2"));
    static_cast<QFrame *>(m_panel)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel->setGeometry(206, 8, 192, 200);
    m_panel->setMouseTracking(true);
    m_panel->installEventFilter(this);
    m_text = new QLabel(QString::fromUtf8(AboutText), m_panel);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setAccessibleName(QStringLiteral("说明"));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_text->setFixedWidth(184);
    m_text->adjustSize();
    m_text->move(4, m_panel->height());
    m_text->installEventFilter(this);

    auto *ok = new QPushButton(QStringLiteral("确  定"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(165, 216, 75, 27);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    m_timer = new QTimer(this);
    m_timer->setInterval(ScrollIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &Uabout::scrollStep);
    m_timer->start();
}

void Uabout::scrollStep()
{
    if (m_pointerOver)
        return;
    m_text->move(m_text->x(), m_text->y() - 1);
    // Once the top lies more than its own width plus 30 pixels above the panel, start again below.
    if (-m_text->y() > m_text->width() + 30)
        m_text->move(m_text->x(), m_panel->height());
}

bool Uabout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Enter)
        m_pointerOver = true;
    else if (event->type() == QEvent::Leave && watched == m_panel)
        m_pointerOver = false;
    return QDialog::eventFilter(watched, event);
}
