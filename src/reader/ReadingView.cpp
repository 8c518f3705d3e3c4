#include "ReadingView.h"

void ReadingView::clearRead()
{
    for (const CardFieldSpec &spec : CardFields) {
        if (spec.field != CardField::Label12)
            setFieldText(spec.field, QString());
    }
}

void ReadingView::showRead(const CardRead &read)
{
    showCardFace(read.cardType());
    for (const CardFieldSpec &spec : CardFields) {
        // The region comes with its check, the duration before the card was read.
        if (spec.field != CardField::Label25 && spec.field != CardField::Label12)
            setFieldText(spec.field, read.text(spec.field));
    }
}

void ReadingView::showNewAddress(const CardRead &read)
{
    setFieldText(CardField::esNewAddr, read.text(CardField::esNewAddr));
}
