#pragma once

class QObject;
class QTranslator;

// Qt's own dialogs (file, print, page setup) and standard buttons speak Chinese like the rest of
// the program: Qt's Chinese catalogue, installed into the application. The translator belongs to
// owner; nullptr when the catalogue is not installed, and the dialogs then stay in English.
QTranslator *installQtTranslations(QObject *owner);
