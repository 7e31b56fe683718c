#pragma once
// Notices for what could not be stored: a contact, a favourite or a call
// that the screen would otherwise show as saved, and a contacts file that
// cannot be used as it should (found at start-up). The screens call these
// after a write failed, and show what is really stored.

#include "data/volume.h"
#include "platform/text.h"

namespace telvara::forms {

enum class Unsaved { Contact, Favorite, Call };

// The language key of the notice for a write of `what` that failed for
// `failure`; empty for WriteFailure::none.
WStringView not_saved_key(Unsaved what, data::WriteFailure failure);

// Shows that notice (nothing for WriteFailure::none).
void show_not_saved(Unsaved what, data::WriteFailure failure);

// The language key of the notice for a contacts file that is missing,
// damaged, unreadable, from a newer version or read-only; empty when it is
// usable. Its "%1" is the file's name.
WStringView volume_notice_key(const data::VolumeState& state);

} // namespace telvara::forms
