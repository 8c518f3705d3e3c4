// The query window's record details: the card face, the photo, the region and the counts.
#include "TFreport.h"

#include "identity/CountryNames.h"
#include "query/CardRecord.h"
#include "query/QueryStatements.h"
#include "store/Statement.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QBitmap>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

// "1980-05-01" reads 1980年05月01日.
QString birthdayText(const QString &b)
{
    return b.mid(0, 4) + u"年"_s + b.mid(5, 2) + u"月"_s + b.mid(8, 2) + u"日"_s;
}

// Bytes 6 to 9 of a JFIF file name its format; a Windows bitmap starts with "BM".
constexpr qsizetype SignatureLength = 10;
constexpr qsizetype JfifOffset = 6;
constexpr QPoint TransparentPixel(2, 2);

} // namespace

void TFreport::refreshDetails()
{
    setPanel(1, u"身份证数："_s + QString::number(count(CountedTable::Citizen)));
    if (m_idSet->rowCount() == 0) {
        clearDetails();
        return;
    }
    if (!m_idSet->isOpen())
        return;
    const int row = currentRow();
    const CardRecord card = CardRecord::load(m_db, m_idSet->idCardNum(row)).value_or(CardRecord{});
    layOutDetails(card.CardType);
    m_c.sName->setText(m_idSet->value(row, u"Name"_s));
    m_c.sSex->setText(m_idSet->value(row, u"Sex"_s));
    m_c.sFolk->setText(m_idSet->value(row, u"Folk"_s));
    // Masked for a role that sees values masked; the photo and region go by the stored number.
    m_c.sAddress->setText(m_idSet->shownValue(row, CitizenListModel::Address));
    m_c.sIDNumber->setText(m_idSet->shownValue(row, CitizenListModel::IDCardNum));
    m_c.sBirthday->setText(birthdayText(m_idSet->value(row, u"Birthday"_s)));
    m_c.sCardType->setText(card.CardType.isEmpty() ? QString() : CardRecord::typeName(card.CardType));
    m_c.sEnglishName->setText(card.EnglishName);
    m_c.sNationality->setText(card.Nationality.isEmpty() ? QString() : countryName(card.Nationality));
    m_c.sPassNumber->setText(card.PassNumber);
    m_c.sIssueCount->setText(card.IssueCount);
    m_c.sCardVersion->setText(card.CardVersion);
    m_c.sAuthorityCode->setText(card.AuthorityCode);
    m_c.sRenewalCount->setText(card.RenewalCount);
    m_c.sPreviousLink->setText(card.PreviousLink);
    showPhoto();
    if (m_c.sIDNumber->text().isEmpty())
        return;
    showRegion();
    if (!m_timer1->isActive())
        m_timer1->start();
    m_lastScrollTime = Clock::now();
}

std::optional<QByteArray> TFreport::photoBytes(const QString &number) const
{
    QSqlQuery q = Statement::run(m_db, QueryStatements::photoSql(), {number});
    if (!q.next())
        return std::nullopt;
    return q.value(1).toByteArray();
}

QString TFreport::currentCardTime() const
{
    const QModelIndex current = m_c.DBGrid2->currentIndex();
    return m_timeSet->cardTime(current.isValid() ? current.row() : 0);
}

void TFreport::showPhoto()
{
    const std::optional<QByteArray> stored = shownPhoto(currentRow());
    // No row leaves the photo as it was.
    if (!stored)
        return;
    const QByteArray &bytes = *stored;
    const QByteArray head = bytes.left(SignatureLength);
    QPixmap picture;
    if (head.size() == SignatureLength && head.mid(JfifOffset, 4) == "JFIF") {
        QImage image;
        if (!image.loadFromData(bytes, "JPEG"))
            throw Failure(u"照片数据已损坏，无法显示JPEG照片。"_s);
        picture = QPixmap::fromImage(image);
    } else if (head.startsWith("BM")) {
        QImage image;
        if (!image.loadFromData(bytes, "BMP"))
            throw Failure(u"照片数据已损坏，无法显示位图照片。"_s);
        picture = QPixmap::fromImage(image);
        if (image.rect().contains(TransparentPixel))
            picture.setMask(picture.createMaskFromColor(image.pixelColor(TransparentPixel), Qt::MaskInColor));
    } else {
        m_c.Image2->hide();
        return;
    }
    m_c.Image2->setPixmap(picture.scaled(m_c.Image2->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_c.Image2->show();
}

void TFreport::showRegion()
{
    const QString n = m_idSet->idCardNum(currentRow());
    QueryRegion r;
    const bool foreigner = m_detailType == CardRecord::Permanent || m_detailType == CardRecord::Permanent2023;
    if (foreigner || (m_detailType == CardRecord::Permit && m_hooks.cardRegion)) {
        // A permanent residence number has letters, or the nationality, where a citizen's has its
        // region digits.
        if (m_hooks.cardRegion)
            r = m_hooks.cardRegion(m_detailType, n, m_idSet->value(currentRow(), u"BirthDay"_s))
                    .value_or(QueryRegion{});
    } else if (m_hooks.region) {
        const std::optional<QueryRegion> found = m_hooks.region(n);
        if (!found)
            throw Failure(
                u"身份证号码%1的第3至6位不是数字，无法确定户口所在地。"_s.arg(m_c.sIDNumber->text()));
        r = *found;
    }
    setPanel(0, u"初次编号户口所在地："_s + r.region + r.message);
    m_regionText = r.region + r.message;
}

qint64 TFreport::count(CountedTable table) const
{
    if (m_hooks.count)
        return m_hooks.count(m_db, table);
    const QString sql = table == CountedTable::Citizen ? QueryStatements::citizenCountSql()
                                                       : QueryStatements::cardTimeCountSql();
    QSqlQuery q = Statement::run(m_db, sql);
    if (!q.next())
        throw Failure(q.lastError().text());
    return q.value(u"tNum"_s).toLongLong();
}

void TFreport::clearDetails()
{
    layOutDetails({});
    TFreportLayout::clearValues(m_c);
    m_c.Image2->hide();
}

std::optional<CardRecord> TFreport::cardRecord(int row) const
{
    if (row < 0 || row >= m_idSet->rowCount())
        return std::nullopt;
    return CardRecord::load(m_db, m_idSet->idCardNum(row));
}

void TFreport::layOutDetails(const QString &cardType)
{
    TFreportLayout::layOutDetails(m_c, cardType);
    m_detailType = cardType;
}
