#pragma once
// The start-up message boxes: a modal SDL message box when the program has a
// window, and always the text on stderr and in the log, so that a headless
// run (or a user at a terminal) sees it as well.

#include "platform/text.h"

namespace telvara::app {

enum class MessageBoxOutput { Window, Headless };

// Where boxes go from now on; Headless until the window exists.
void set_message_box_output(MessageBoxOutput output);

// Shows the text with an OK button and returns when it was dismissed (at once
// when headless).
void show_message_box(WStringView text, WStringView title);

// True while a box is on screen: a second start then raises it instead of
// handing over its command line. Any thread.
bool message_box_open();

// Brings the open box to the front, if the window system lets us.
void raise_message_box();

} // namespace telvara::app
