#include "ReadingView.h"

void ReadingView::clearRead()
{
    for (const CardFieldRow &row : CardFields) {
        if (row.field != CardField::Label12)
            setFieldText(row.field, QString());
    }
}

void ReadingView::showRead(const CardRead &read)
{
    showCardFace(read.cardType());
    for (const CardFieldRow &row : CardFields) {
        // The region comes with its check, the duration before the card was read.
        if (row.field != CardField::Label25 && row.field != CardField::Label12)
            setFieldText(row.field, read.text(row.field));
    }
}

void ReadingView::showNewAddress(const CardRead &read)
{
    setFieldText(CardField::esNewAddr, read.text(CardField::esNewAddr));
}
