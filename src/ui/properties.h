#pragma once
// The loaded skin: one buffer holding the whole ".skin" file, read in place.
// Properties is what the program holds; PropertiesImpl owns the buffer, the
// pictures, fonts and strings, and answers every property read by a binary
// search in the buffer. Every offset the file gives is checked before use: a
// malformed header or table refuses the load, a bad property entry reads as
// missing and a bad child as no child.

#include "platform/text.h"
#include "ui/colour.h"
#include "ui/font.h"
#include "ui/geometry.h"
#include "ui/lang/language_strings.h"
#include "ui/picture.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace telvara::ui {

class Properties;

// A node record inside the loaded buffer, by its byte offset. A default (or
// failed) record is invalid: it has no properties and no children.
struct NodeRecord {
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    std::uint32_t offset = kNone;

    bool valid() const { return offset != kNone; }
    explicit operator bool() const { return valid(); }
    friend bool operator==(const NodeRecord&, const NodeRecord&) = default;
};

// Deepest child nesting a reader of the tree should follow. A file can make a
// child list point back at an ancestor; walkers stop here instead of looping.
inline constexpr int kMaxNodeDepth = 64;

// A skin file larger than this is refused unread (the shipped ones are tens
// of kilobytes; property names must lie in the first 64 KB anyway).
inline constexpr std::uintmax_t kMaxSkinFileBytes = std::uintmax_t{32} << 20;

// Nodes one load of a top-level node builds at most: a child list pointing
// back at an ancestor, or many lists sharing one subtree, would otherwise
// build (or list) without end.
inline constexpr int kMaxNodesPerLoad = 65536;

// Reads the whole skin file `file` (a Linux path) into `bytes`. Empty when it
// was read, else why it cannot be used ("not found", "is not a regular
// file", "larger than 32 MB"...). Only a regular file is opened: a FIFO or a
// device named like a skin would block or never end.
std::string read_skin_file(const std::string& file, std::vector<std::uint8_t>& bytes);

// Coordinates are scaled by 2^scale_shift; larger shifts are clamped to this.
inline constexpr unsigned kMaxScaleShift = 8;

// The six property tables of a node record, in record order.
enum class PropertyKind { Integer, Font, Point, String, Picture, Colour };

// A picture property exactly as stored: design-resolution coordinates.
struct PictureRef {
    std::uint16_t x[4] = {};
    std::uint16_t y[4] = {};
    std::uint8_t picture = 0;
    std::uint8_t flag = 0;
};

// Told after a skin reload, so that screens re-read their nodes.
class SkinReloadListener {
  public:
    virtual void on_reload_skin(Properties& skin) = 0;

  protected:
    ~SkinReloadListener() = default;
};

// What a build loads besides the buffer: everything (the program), no
// picture files (tools that inspect a skin's structure: the picture table
// holds empty pictures), or neither pictures nor fonts (fuzzing: the font
// table holds null handles, so no font is created or cached).
enum class SkinResources { All, NoPictures, None };

class PropertiesImpl {
  public:
    static constexpr std::uint32_t kHeaderSize = 92;

    // Empty: not loaded.
    PropertiesImpl();
    // Reads the file at the (variable-expanded) path; pictures are looked up
    // beside it, in the "@<2^scale_shift>x" folder when scale_shift > 0 (the
    // design-size ones when that folder is missing).
    PropertiesImpl(WStringView path, unsigned scale_shift);
    // From bytes already in memory; pictures are looked up in picture_dir (a
    // Linux folder). `path` is only remembered and used in log lines.
    PropertiesImpl(std::vector<std::uint8_t> bytes, std::string picture_dir, WStringView path,
                   unsigned scale_shift, SkinResources resources = SkinResources::All);
    ~PropertiesImpl();
    PropertiesImpl(const PropertiesImpl&) = delete;
    PropertiesImpl& operator=(const PropertiesImpl&) = delete;

    // The "loaded" mark: the file passed every check and every picture loaded.
    bool is_loaded() const { return m_loaded; }
    // Why the last build was refused, one line; empty when loaded.
    const std::string& load_error() const { return m_error; }

    // Exchanges buffer, loaded mark, pictures, fonts, strings and scale_shift
    // (not the listeners, the owner or the path).
    void swap_content(PropertiesImpl& other);

    const WString& path() const { return m_path; }
    void set_path(WString path) { m_path = std::move(path); }
    unsigned scale_shift() const { return m_scale_shift; }
    std::size_t size() const { return m_buffer.size(); }

    // Tables of the loaded skin.
    std::size_t picture_count() const { return m_pictures.size(); }
    std::size_t font_count() const { return m_fonts.size(); }
    std::size_t string_count() const { return m_strings.size(); }
    const WString& picture_name(std::size_t i) const { return m_picture_names[i]; }
    const Picture& picture(std::size_t i) const { return m_pictures[i]; }
    const WString& font_text(std::size_t i) const { return m_font_texts[i]; }
    const FontHandle& font(std::size_t i) const { return m_fonts[i]; }
    const WString& string(std::size_t i) const { return m_strings[i]; }
    std::uint32_t index_root() const;

    // The named-node index.
    NodeRecord find_node(WStringView name) const;
    // Every top-level node in name order (a damaged index yields what can be
    // reached without revisiting an entry).
    std::vector<std::pair<WString, NodeRecord>> top_level_nodes() const;

    // Child list. An invalid child (offset outside the buffer or misaligned)
    // comes back as an invalid record: skip it.
    std::uint32_t child_count(NodeRecord record) const;
    NodeRecord child(NodeRecord record, std::uint32_t index) const;

    // Number of usable entries in one property table (0 for a damaged table).
    std::uint32_t property_count(NodeRecord record, PropertyKind kind) const;
    // Name of entry i of a table, for listing a node; nothing if damaged.
    std::optional<WString> property_name(NodeRecord record, PropertyKind kind,
                                         std::uint32_t index) const;

    // The six readers: the property's value, or the default when the node has
    // no such property (or its entry is damaged).
    std::uint32_t read_int(NodeRecord record, WStringView name, std::uint32_t def) const;
    FontHandle read_font(NodeRecord record, WStringView name, FontHandle def) const;
    Point read_point(NodeRecord record, WStringView name, Point def) const;
    WString read_string(NodeRecord record, WStringView name, WStringView def) const;
    Picture read_picture(NodeRecord record, WStringView name, const Picture& def) const;
    Colour read_colour(NodeRecord record, WStringView name, Colour def) const;

    // Raw forms for tools: the stored font and string indices and picture
    // reference (index checked against the tables, coordinates unscaled).
    std::optional<std::uint32_t> read_font_index(NodeRecord record, WStringView name) const;
    std::optional<std::uint32_t> read_string_index(NodeRecord record, WStringView name) const;
    std::optional<PictureRef> read_picture_ref(NodeRecord record, WStringView name) const;

    // Reload listeners, told in registration order.
    void add_reload_listener(SkinReloadListener* listener);
    void remove_reload_listener(SkinReloadListener* listener);
    // Tells every listener that the skin was reloaded, then logs the time it took.
    void send_reload_skin();

    // The process-wide list of live skin objects.
    static std::size_t live_count();

  private:
    friend class Properties;

    struct Table {
        std::uint32_t begin = 0; // absolute offset of entry 0
        std::uint32_t count = 0;
        std::uint32_t entry_size = 0;
    };

    void build(const std::string& picture_dir, SkinResources resources);
    bool read_tables(const std::string& picture_dir, SkinResources resources);
    std::uint16_t load16(std::uint32_t at) const;
    std::uint32_t load32(std::uint32_t at) const;
    bool has_record(NodeRecord record) const;
    Table table(NodeRecord record, PropertyKind kind) const;
    std::optional<std::uint32_t> find_entry(NodeRecord record, PropertyKind kind,
                                            WStringView name) const;
    int compare_name(WStringView wanted, std::uint32_t at) const;
    std::optional<WString> string_at(std::uint32_t at) const;
    std::int32_t scaled(std::int32_t value) const;

    std::vector<std::uint8_t> m_buffer;
    bool m_loaded = false;
    std::string m_error;
    std::vector<Picture> m_pictures;
    std::vector<WString> m_picture_names;
    std::vector<FontHandle> m_fonts;
    std::vector<WString> m_font_texts;
    std::vector<WString> m_strings;
    unsigned m_scale_shift = 0;
    std::vector<SkinReloadListener*> m_listeners;
    WString m_path;
    Properties* m_owner = nullptr;
};

// The current skin for the whole run; empty until the first successful load.
// Node code reads through it; the readers forward to the live PropertiesImpl.
class Properties {
  public:
    Properties();
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    // Loads the skin at path ("%app_path%/skins/bin/main.skin") with
    // coordinates scaled by 2^scale_shift. All or nothing: on failure the
    // previous skin stays current and *error (when given) says why.
    bool load_skin(WStringView path, unsigned scale_shift, std::string* error = nullptr);
    // Makes an already built skin current if it is loaded; the candidate is
    // left holding the previous content.
    bool install(PropertiesImpl& candidate);

    // A switch while screens are built from the current skin: the candidate
    // becomes current and the replaced skin is kept aside until
    // keep_switch() (the screens took the new one) or undo_switch() (they
    // could not: the replaced skin is current again). A second switch
    // before either keeps the skin of the first one aside.
    bool switch_to(PropertiesImpl& candidate);
    bool switch_pending() const { return m_replaced != nullptr; }
    bool undo_switch();
    void keep_switch() { m_replaced.reset(); }

    bool is_loaded() const { return m_impl.is_loaded(); }
    PropertiesImpl& impl() { return m_impl; }
    const PropertiesImpl& impl() const { return m_impl; }

    NodeRecord find_node(WStringView name) const { return m_impl.find_node(name); }
    std::uint32_t child_count(NodeRecord record) const { return m_impl.child_count(record); }
    NodeRecord child(NodeRecord record, std::uint32_t index) const {
        return m_impl.child(record, index);
    }
    std::uint32_t property_count(NodeRecord record, PropertyKind kind) const {
        return m_impl.property_count(record, kind);
    }
    std::uint32_t read_int(NodeRecord record, WStringView name, std::uint32_t def) const {
        return m_impl.read_int(record, name, def);
    }
    FontHandle read_font(NodeRecord record, WStringView name, FontHandle def) const {
        return m_impl.read_font(record, name, std::move(def));
    }
    Point read_point(NodeRecord record, WStringView name, Point def) const {
        return m_impl.read_point(record, name, def);
    }
    WString read_string(NodeRecord record, WStringView name, WStringView def) const {
        return m_impl.read_string(record, name, def);
    }
    Picture read_picture(NodeRecord record, WStringView name, const Picture& def) const {
        return m_impl.read_picture(record, name, def);
    }
    Colour read_colour(NodeRecord record, WStringView name, Colour def) const {
        return m_impl.read_colour(record, name, def);
    }
    unsigned scale_shift() const { return m_impl.scale_shift(); }

    void add_reload_listener(SkinReloadListener* listener) { m_impl.add_reload_listener(listener); }
    void remove_reload_listener(SkinReloadListener* listener) {
        m_impl.remove_reload_listener(listener);
    }
    void send_reload_skin() { m_impl.send_reload_skin(); }

    // The language strings live beside the skin; a skin load leaves them be.
    LanguageStrings& language() { return m_language; }
    const LanguageStrings& language() const { return m_language; }
    WString translate(WStringView key) const { return m_language.translate(key); }

  private:
    PropertiesImpl m_impl;
    LanguageStrings m_language;
    std::unique_ptr<PropertiesImpl> m_replaced; // a switch not yet kept
};

} // namespace telvara::ui
