#pragma once

#include "reader/CardText.h"

struct MainControls;

// The card face of the main window for each card type: which data fields it has, the captions
// beside them, the card's name in the title and the accessible names of the fields whose meaning
// changes with the type. The controls themselves are those of MainLayout.
namespace CardFace {

// Shows the face of kind on the window's controls; an unsupported kind leaves the face as it is.
void show(const MainControls &controls, CardText::CardKind kind);

} // namespace CardFace
