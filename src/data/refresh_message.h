#pragma once
// What the Document tells its screens after every change: five index slots
// and 24 flag bytes, delivered synchronously by reference to every listener.

#include <array>
#include <cstdint>

namespace telvara::data {

enum class RefreshSlot : std::uint8_t {
    RecentIndex = 0,
    ContactOid = 1,
    FilteredIndex = 2,
    AllIndex = 3,
    FavoriteIndex = 4,
};

enum class RefreshFlag : std::uint8_t {
    ListsRebuilt = 0,     // sorting, filter or category changed
    FavoriteAdded = 1,    // slots 1, 4
    FavoriteRemoved = 2,  // slots 1, 4
    FavoriteChanged = 3,  // slots 3, 4
    RecentAdded = 4,      // slot 0
    RecentChanged = 5,    // slot 0
    RecentsReplaced = 6,  // the call log is being read again
    ContactAdded = 7,     // slots 1, 3
    ContactChanged = 8,   // slots 1, 3
    ContactRemoved = 9,   // slot 1 (slots 2, 3: where it was)
    LineChanged = 10,     // the telephone line beside its one call: network, SIM,
                          // a second call, a service reply
    FilterChanged = 11,   // slot 2: filtered index to show
    FilteredLeft = 12,    // slot 2: old filtered index
    FilteredEntered = 13, // slot 2: new filtered index
    FilteredStayed = 14,  // slot 2
    AllLeft = 15,         // slot 3: old index
    AllEntered = 16,      // slot 3: new index
    AllStayed = 17,       // slot 3
    RecentsComplete = 18,
    IncomingCall = 19,
    Dialing = 20,
    Connected = 21,
    CallEnded = 22,
    CallerChanged = 23,
};

// Slot value for "not in that list".
inline constexpr std::uint32_t k_no_index = 0xFFFFFFFFu;

struct RefreshMessage {
    std::array<std::uint32_t, 5> slots{};
    std::array<std::uint8_t, 24> flags{};

    RefreshMessage() = default;
    explicit RefreshMessage(RefreshFlag flag) { set(flag); }

    RefreshMessage& set(RefreshFlag flag) {
        flags[static_cast<std::size_t>(flag)] = 1;
        return *this;
    }
    RefreshMessage& set(RefreshSlot slot, std::uint32_t value) {
        slots[static_cast<std::size_t>(slot)] = value;
        return *this;
    }
    bool has(RefreshFlag flag) const { return flags[static_cast<std::size_t>(flag)] != 0; }
    std::uint32_t slot(RefreshSlot s) const { return slots[static_cast<std::size_t>(s)]; }
};

class DocumentListener {
  public:
    virtual ~DocumentListener() = default;
    virtual void on_document_refresh(const RefreshMessage& message) = 0;
};

} // namespace telvara::data
