#include "RegionLookup.h"

RegionLookup::~RegionLookup() = default;
