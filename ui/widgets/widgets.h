#pragma once

// The main window's controls whose reading rules Qt's own widgets do not keep:
//   TextBox   <- the input box: text held with CR LF line ends, as typed and as pasted; a
//                long line shown in display pieces that are never part of the text
//   ComboBox  <- the width list: an editable drop-down whose selected index is what counts
//   IsStrayAltKey: an Alt chord that no menu took types nothing in either.

#include "combo_box.h"
#include "keys.h"
#include "text_box.h"
