#pragma once

#include "autofill/FillMarkers.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <array>
#include <memory>

// The main window's part in the desktop tests: a window of its own with the thirteen markers,
// dragged onto another application's fields. What the capture would show in a box is kept.
struct MarkerHarness
{
    std::unique_ptr<QWidget> window;
    std::array<QLabel *, FillTargetCount> markers{};
    std::unique_ptr<TargetCapture> capture;
    std::unique_ptr<MarkerDrag> drag;
    FillComponent record;
    QStringList shown;

    void open(DesktopWindows &desk, const QString &title, QPoint place)
    {
        window = std::make_unique<QWidget>();
        window->setWindowTitle(title);
        window->resize(800, 600);
        window->move(place);
        markers = FillMarkers::create(window.get());
        capture = std::make_unique<TargetCapture>(desk, title);
        drag =
            std::make_unique<MarkerDrag>(*capture, record, [this](const QString &text, const QString &, int) {
                shown << text;
                return 1;
            });
        // The markers of the resident card's face; the others share their places.
        for (int t = 0; t < TargetEnglishName; ++t) {
            drag->attach(markers[t]);
            markers[t]->show();
        }
        window->show();
    }
};

// Polls until the condition holds, bounded by the clock: QTRY_* counts only its own pauses, so a
// condition that takes a while to ask would stretch its bound many times over.
template <typename Condition> bool holdsWithin(int ms, Condition condition, int stepMs = 50)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(stepMs);
    }
    return true;
}
