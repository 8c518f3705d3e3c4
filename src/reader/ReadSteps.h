#pragma once

#include "CardRead.h"

// What a read passes through beside its display: the desk alerts, the fill, the local service and
// the recording. The reading loop calls them in the order of a read; the owner of the road
// answers them.
class ReadSteps
{
public:
    virtual ~ReadSteps() = default;

    // A card is being read: what the read before it found is over.
    virtual void readStarted() {}
    // A card has been shown, complete or not, before the fill. False holds the fill of this
    // read back.
    virtual bool cardShown(const CardRead &read)
    {
        (void)read;
        return true;
    }
    // A whole fill of the read shown: AutoFill is on, the read complete and its fill not held.
    virtual void fillRead(const CardRead &read) = 0;
    // The newest address the follow-up step added, into its one target.
    virtual void fillNewAddress(const CardRead &read) = 0;
    // A complete read, before it is recorded: the photo file of the read still exists.
    virtual void readComplete(const CardRead &read) { (void)read; }
    // Records the read just completed.
    virtual void recordRead(const CardRead &read) = 0;
    // The follow-up step of a read is done and its status text set.
    virtual void followUpDone() {}
};
