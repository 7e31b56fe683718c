#pragma once
// The SQLite volume "\pim.vol" as a file: whether it can be used before SQLite
// touches it, and how it may be opened. A file that is not a usable volume
// (a folder, unreadable, not a database, damaged, from a newer program) is
// never written to: the store and the call log open nothing, or only read,
// and say why. Also the reasons a write failed, for the user.

#include "data/sql.h"

#include <optional>
#include <string>

namespace telvara::data {

enum class VolumeProblem {
    none,
    cannot_create, // missing, and its folder takes no new file
    not_a_file,    // a folder, a FIFO or a device where the volume should be
    unreadable,    // the file cannot be opened or read
    damaged,       // not a database, or its pages do not read
    newer_schema,  // written by a newer version of the program
};

enum class VolumeAccess { read_write, read_only };

struct VolumeState {
    VolumeProblem problem = VolumeProblem::none;
    VolumeAccess access = VolumeAccess::read_write;
    // Why, in English, for stderr and the log ("is a folder", "Permission
    // denied"); empty when there is nothing to say.
    std::string reason;

    bool usable() const { return problem == VolumeProblem::none; }
    bool writable() const { return usable() && access == VolumeAccess::read_write; }
};

// The schema version (PRAGMA user_version) of the volume this program
// writes; a larger one is a newer program's.
inline constexpr std::int64_t kVolumeSchemaVersion = 1;

// Volumes found damaged or too new in this process (by whichever of the
// store and the call log met it first): the other does not write to them
// either. Safe from any thread.
void note_volume_unusable(const std::string& file_name, const VolumeState& state);
// The state noted for the file, when one was.
std::optional<VolumeState> unusable_volume(const std::string& file_name);

// Looks at the file before SQLite does: missing (and whether it can be
// made), not a regular file, unreadable, not starting like a database, or
// writable only for reading (the file or its folder read-only: SQLite needs
// to write beside it).
VolumeState check_volume_file(const std::string& file_name);

// Opens the connection the state allows: read-write (creating a missing
// file), read-only, or, in a folder that takes no new files, immutable (the
// side files SQLite would make cannot be made there). False with the reason
// in state.reason; the state becomes damaged or unreadable.
bool open_volume(sql::Database& db, const std::string& file_name, VolumeState& state);

// "/path/pim.vol is damaged (file is not a database)": what went wrong and
// where, for stderr and the log.
std::string describe_volume_problem(const std::string& file_name, const VolumeState& state);

// Why a write was not stored.
enum class WriteFailure {
    none,
    disk_full,
    read_only, // the file or the volume is only readable
    damaged,   // the file cannot be read, so it is not written either
    other,
};

// "the disk is full", "the file can only be read", ...: for stderr and the log.
std::string describe_write_failure(WriteFailure failure);

// The failure an SQLite result code stands for.
WriteFailure write_failure_of_sqlite(int code);
// The failure an errno value stands for.
WriteFailure write_failure_of_errno(int error);

} // namespace telvara::data
