#pragma once
// The register writes of the two setting commands, on an open link. Every
// write is attempted whatever the previous one reported, so that a board
// that missed one register still gets the others.

#include "link/device_link.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"

namespace vorna {

// Writes 0xE0 <- 0x05, then A0, A1, A2, A3, A4, A6, A8 in that order. True
// when none reported an error.
bool ApplyFields(DeviceLink& link, const RegisterBytes& registers);

// A0, A2, the channel, and the store command when `settings.storeAsDefault`.
// True when none reported an error.
bool ApplyQuickSettings(DeviceLink& link, const QuickSettings& settings);

}  // namespace vorna
