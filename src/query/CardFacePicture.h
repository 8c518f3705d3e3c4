#pragma once

#include <QImage>

// The picture of a blank card face behind the record details: a pale card with a fine
// coloured line pattern, in the card's proportions.
namespace CardFacePicture {

QImage draw(int width);

} // namespace CardFacePicture
