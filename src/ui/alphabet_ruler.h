#pragma once
// The alphabet ruler: a column of letter cells beside the contact list.
// Built from three named children of its skin node: "ruler_button" (the cell
// template), "ruler_button2" (optional: every second cell) and "ruler_table"
// (the container the cells are laid out in). When the letters do not fit,
// the cells sample them evenly from the whole alphabet; a touch anywhere on
// the table maps to a letter of the whole alphabet all the same.

#include "platform/text.h"
#include "ui/node.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace telvara::ui {

class AlphabetRuler;

struct RulerEvent {
    std::uint32_t index = 0; // into the ruler's letters
    WString letter;
    bool pressed = false;   // the finger is (still) on the ruler
    bool cancelled = false; // copied from the pen event
};

class RulerListener {
  public:
    virtual void on_letter_touched(AlphabetRuler& ruler, const RulerEvent& event) = 0;

  protected:
    ~RulerListener() = default;
};

class AlphabetRuler : public Node {
  public:
    // Loads the children from the record and sets the ruler up.
    void load(const Properties& skin, NodeRecord record) override;
    // Finds the templates and the table; throws vadode::NodeNotFound when
    // "ruler_button" or "ruler_table" is missing. The skin must outlive the ruler.
    void set_up(const Properties& skin, NodeRecord record);

    void set_listener(RulerListener* listener) { m_listener = listener; }

    // Replaces the letters and lays the cells out again.
    void set_letters(std::vector<WString> letters);
    // Appends a letter unless it equals the last one, so that a sorted list
    // yields each initial once.
    void add_letter(WString letter);
    const std::vector<WString>& letters() const { return m_letters; }

    // Height of one cell, measured once at set-up.
    std::int32_t cell_height() const { return m_cell_height; }
    std::size_t cell_count() const { return m_cells.size(); }
    Node& cell(std::size_t i) const { return *m_cells[i]; }
    // The letter index cell i shows.
    std::uint32_t cell_letter_index(std::size_t i) const;
    Node* table() const { return m_table; }

    // The letter index under screen row y; nothing when there is nothing to
    // report (no letters, no cells, a table under one pixel high).
    std::optional<std::uint32_t> letter_index_at(std::int32_t y) const;

    void remove_child(Node* child, std::size_t index) override;
    void layout_y() override;
    bool on_touch(const PointerEvent& event) override;

  private:
    void update_cells();
    void clear_cells();
    std::size_t wanted_cells() const;
    std::unique_ptr<Node> make_cell(std::size_t i) const;
    void report(const PointerEvent& event);

    const Properties* m_skin = nullptr;
    NodeRecord m_template;
    NodeRecord m_template2;
    Node* m_table = nullptr;
    std::int32_t m_cell_height = 0;
    std::vector<WString> m_letters;
    std::vector<Node*> m_cells;
    RulerListener* m_listener = nullptr;
    bool m_touching = false;
};

// The letter a ruler shows for a capital: a Cyrillic or Greek capital drawn
// like a Latin one (А, В, С, Е, Н, К, М, О, Р, Т, Х; Α, Β, Ε, ...) gives
// that Latin letter, so that a ruler over names in both scripts shows each
// shape once and a touch on it finds the first name of either. Every other
// character comes back as it is.
char16_t ruler_shape(char16_t capital);

// The first record below `record` (depth first, direct children first)
// whose "id" is `id`; invalid when there is none.
NodeRecord find_child_record(const Properties& skin, NodeRecord record, WStringView id);

} // namespace telvara::ui
