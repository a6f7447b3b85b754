// Enabling a control together with the colour of its text.
#pragma once
#include "Controls.h"

// Enables or disables the control and shows its text black or gray to match.
void SetControlEnabled(TControl* Control, bool Enabled);
// Sets the colour of the control's published Font, found by name; a control that publishes no
// Font keeps its colours.
void SetControlFontColor(TControl* Control, TColor Color);
