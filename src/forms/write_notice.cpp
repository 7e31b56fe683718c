// Which notice says what could not be stored, and why.
#include "forms/write_notice.h"

#include "forms/notice_form.h"

namespace telvara::forms {

WStringView not_saved_key(Unsaved what, data::WriteFailure failure) {
    using data::WriteFailure;
    if (failure == WriteFailure::none)
        return {};
    switch (what) {
    case Unsaved::Call:
        return failure == WriteFailure::disk_full ? u"skinCallNotLoggedDiskFull"
                                                  : u"skinCallNotLogged";
    case Unsaved::Favorite:
        return failure == WriteFailure::disk_full ? u"skinNotSavedDiskFull"
                                                  : u"skinFavoritesNotSaved";
    case Unsaved::Contact:
        break;
    }
    switch (failure) {
    case WriteFailure::disk_full:
        return u"skinNotSavedDiskFull";
    case WriteFailure::read_only:
        return u"skinNotSavedReadOnly";
    case WriteFailure::damaged:
        return u"skinNotSavedDamaged";
    case WriteFailure::none:
    case WriteFailure::other:
        break;
    }
    return u"skinNotSaved";
}

void show_not_saved(Unsaved what, data::WriteFailure failure) {
    const WStringView key = not_saved_key(what, failure);
    if (!key.empty())
        show_notice(key);
}

WStringView volume_notice_key(const data::VolumeState& state) {
    using data::VolumeProblem;
    switch (state.problem) {
    case VolumeProblem::none:
        return state.access == data::VolumeAccess::read_only ? u"skinContactsReadOnly" : u"";
    case VolumeProblem::cannot_create:
        return u"skinContactsCannotCreate";
    case VolumeProblem::not_a_file:
        return u"skinContactsNotAFile";
    case VolumeProblem::unreadable:
        return u"skinContactsUnreadable";
    case VolumeProblem::damaged:
        return u"skinContactsDamaged";
    case VolumeProblem::newer_schema:
        return u"skinContactsNewer";
    }
    return {};
}

} // namespace telvara::forms
