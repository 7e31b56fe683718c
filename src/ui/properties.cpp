// The skin loader and the property readers over the file buffer. Nothing is
// trusted: every offset, count and bound read from the file is checked against
// the buffer before it is followed.
#include "ui/properties.h"

#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "ui/font_cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unordered_set>

namespace telvara::ui {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr char16_t kMagic[4] = {0x0421, 0x043A, 0x0438, 0x043D};
constexpr std::uint32_t kIndexRoot = 72;
constexpr std::uint32_t kPictureCount = 76;
constexpr std::uint32_t kFontCount = 80;
constexpr std::uint32_t kStringTable = 84;
constexpr std::uint32_t kStringCount = 88;
constexpr std::uint32_t kIndexEntryHead = 12;
constexpr std::uint32_t kRecordHead = 16;
// Smallest index entry with its record: the entry head and the record head.
constexpr std::uint32_t kMinIndexEntry = kIndexEntryHead + kRecordHead;
constexpr int kBadName = 2; // compare_name: the stored name is unusable

constexpr std::uint32_t entry_size(PropertyKind kind) {
    switch (kind) {
    case PropertyKind::String:
        return 4;
    case PropertyKind::Picture:
        return 20;
    default:
        return 8;
    }
}

// Live skin objects, for the whole process.
std::mutex& live_mutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<PropertiesImpl*>& live_list() {
    static std::vector<PropertiesImpl*> list;
    return list;
}

// Seconds since `lap` as a decimal fraction; moves the lap to now.
WString lap_seconds(std::uint32_t& lap) {
    const std::uint32_t now = platform::tick_count();
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", (now - lap) / 1000.0);
    lap = now;
    return from_ascii(text);
}

std::string folder_of(const std::string& file) {
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

// Pictures rendered for a scale sit in "@2x", "@4x" ... beside the skin file;
// without that folder the design-size pictures beside the skin are used.
std::string scaled_picture_folder(const std::string& folder, unsigned scale_shift) {
    if (scale_shift == 0)
        return folder;
    const std::string scaled = folder + "/@" + std::to_string(1u << scale_shift) + "x";
    std::error_code error;
    if (std::filesystem::is_directory(scaled, error))
        return scaled;
    runtime::log() << u"PropertiesImpl::PropertiesImpl no picture folder {" << from_utf8(scaled)
                   << u"}, design-size pictures\n";
    return folder;
}

// A picture name is relative to the skin's folder and may use either slash.
std::string picture_file(const std::string& folder, const WString& name) {
    std::string relative = to_utf8(name);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return folder + "/" + relative;
}

} // namespace

std::string read_skin_file(const std::string& file, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return "not found";
    if (error)
        return "cannot be read (" + error.message() + ")";
    if (status.type() == std::filesystem::file_type::directory)
        return "is a folder, not a skin file";
    if (status.type() != std::filesystem::file_type::regular)
        return "is not a regular file";
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error)
        return "cannot be read (" + error.message() + ")";
    if (size > kMaxSkinFileBytes)
        return "larger than " + std::to_string(kMaxSkinFileBytes >> 20) + " MB";
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "cannot be opened (" + std::generic_category().message(errno) + ")";
    bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size)
        return "could not be read whole (" + std::to_string(in.gcount()) + " of " +
               std::to_string(size) + " bytes)";
    return {};
}

// --- construction and loading ---------------------------------------------------

PropertiesImpl::PropertiesImpl() {
    std::lock_guard lock(live_mutex());
    live_list().push_back(this);
}

PropertiesImpl::PropertiesImpl(WStringView path, unsigned scale_shift) : PropertiesImpl() {
    m_path = WString(path);
    m_scale_shift = std::min(scale_shift, kMaxScaleShift);
    const std::string file = runtime::file_path(path);
    m_error = read_skin_file(file, m_buffer);
    if (!m_error.empty()) {
        runtime::log() << u"Error: skin [" << m_path << u"] failed to load: " << from_utf8(m_error)
                       << u"\n";
        return;
    }
    // A file that is no skin at all is refused before its pictures matter.
    const bool may_be_skin = m_buffer.size() >= kHeaderSize;
    build(may_be_skin ? scaled_picture_folder(folder_of(file), m_scale_shift) : folder_of(file),
          SkinResources::All);
}

PropertiesImpl::PropertiesImpl(std::vector<std::uint8_t> bytes, std::string picture_dir,
                               WStringView path, unsigned scale_shift, SkinResources resources)
    : PropertiesImpl() {
    m_buffer = std::move(bytes);
    m_path = WString(path);
    m_scale_shift = std::min(scale_shift, kMaxScaleShift);
    build(picture_dir, resources);
}

PropertiesImpl::~PropertiesImpl() {
    std::lock_guard lock(live_mutex());
    auto& list = live_list();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

std::size_t PropertiesImpl::live_count() {
    std::lock_guard lock(live_mutex());
    return live_list().size();
}

void PropertiesImpl::build(const std::string& picture_dir, SkinResources resources) {
    m_loaded = read_tables(picture_dir, resources);
    if (!m_loaded) {
        m_pictures.clear();
        m_picture_names.clear();
        m_fonts.clear();
        m_font_texts.clear();
        m_strings.clear();
    }
}

bool PropertiesImpl::read_tables(const std::string& picture_dir, SkinResources resources) {
    auto refuse = [this](std::string reason) {
        m_error = std::move(reason);
        return false;
    };
    m_error.clear();
    const std::uint64_t size = m_buffer.size();
    if (size < kHeaderSize)
        return refuse("shorter than the 92-byte header");
    for (std::uint32_t i = 0; i < 4; ++i)
        if (load16(2 * i) != kMagic[i])
            return refuse("not a skin file (wrong magic)");

    const std::uint32_t root = load32(kIndexRoot);
    if (root != kNone && (root % 4 != 0 || std::uint64_t(root) + kMinIndexEntry > size))
        return refuse("index root outside the file or misaligned");

    // Every string takes at least its terminator, so the counts are bounded by
    // the bytes after the table's start before anything is allocated.
    const std::uint64_t picture_count = load32(kPictureCount);
    const std::uint64_t font_count = load32(kFontCount);
    const std::uint64_t string_count = load32(kStringCount);
    const std::uint32_t table = load32(kStringTable);
    const std::uint64_t total = picture_count + font_count + string_count;
    if (total > 0) {
        if (table % 2 != 0 || table >= size || total > (size - table) / 2)
            return refuse("string table outside the file or counts too large");
    }
    std::vector<WString> texts;
    texts.reserve(static_cast<std::size_t>(total));
    std::uint32_t at = table;
    for (std::uint64_t i = 0; i < total; ++i) {
        std::optional<WString> text = string_at(at);
        if (!text)
            return refuse("string " + std::to_string(i) + " of the string table runs past the end");
        at += static_cast<std::uint32_t>((text->size() + 1) * 2);
        texts.push_back(std::move(*text));
    }

    std::uint32_t lap = platform::tick_count();
    std::size_t next = 0;
    m_picture_names.clear();
    m_pictures.clear();
    for (std::uint64_t i = 0; i < picture_count; ++i) {
        const WString& name = texts[next++];
        Picture picture;
        if (resources == SkinResources::All) {
            const std::string file = picture_file(picture_dir, name);
            picture = load_picture(file);
            if (picture.width == 0 && picture.height == 0) {
                runtime::log() << u"PropertiesImpl::PropertiesImpl picture failed to load {" << name
                               << u"}\n";
                return refuse("picture {" + to_utf8(name) + "} failed to load (" + file +
                              ".bmp: missing or not a 16-bit bitmap)");
            }
            runtime::log() << u"PropertiesImpl::PropertiesImpl picture load time="
                           << lap_seconds(lap) << u" {" << name << u"}\n";
        }
        m_picture_names.push_back(name);
        m_pictures.push_back(std::move(picture));
    }
    m_font_texts.clear();
    m_fonts.clear();
    for (std::uint64_t i = 0; i < font_count; ++i) {
        const WString& text = texts[next++];
        m_fonts.push_back(resources == SkinResources::None
                              ? nullptr
                              : font_for(parse_font_description(text, m_scale_shift)));
        m_font_texts.push_back(text);
    }
    m_strings.assign(std::make_move_iterator(texts.begin() + static_cast<std::ptrdiff_t>(next)),
                     std::make_move_iterator(texts.end()));
    runtime::log() << u"PropertiesImpl::PropertiesImpl fonts create time=" << lap_seconds(lap)
                   << u"\n";
    return true;
}

void PropertiesImpl::swap_content(PropertiesImpl& other) {
    std::swap(m_buffer, other.m_buffer);
    std::swap(m_loaded, other.m_loaded);
    std::swap(m_error, other.m_error);
    std::swap(m_pictures, other.m_pictures);
    std::swap(m_picture_names, other.m_picture_names);
    std::swap(m_fonts, other.m_fonts);
    std::swap(m_font_texts, other.m_font_texts);
    std::swap(m_strings, other.m_strings);
    std::swap(m_scale_shift, other.m_scale_shift);
}

// --- raw access -----------------------------------------------------------------

std::uint16_t PropertiesImpl::load16(std::uint32_t at) const {
    return static_cast<std::uint16_t>(m_buffer[at] | (m_buffer[at + 1] << 8));
}

std::uint32_t PropertiesImpl::load32(std::uint32_t at) const {
    return std::uint32_t(m_buffer[at]) | (std::uint32_t(m_buffer[at + 1]) << 8) |
           (std::uint32_t(m_buffer[at + 2]) << 16) | (std::uint32_t(m_buffer[at + 3]) << 24);
}

std::optional<WString> PropertiesImpl::string_at(std::uint32_t at) const {
    const std::size_t size = m_buffer.size();
    if (at % 2 != 0 || at >= size)
        return std::nullopt;
    WString text;
    for (std::size_t p = at; p + 2 <= size; p += 2) {
        const char16_t unit = load16(static_cast<std::uint32_t>(p));
        if (unit == 0)
            return text;
        text.push_back(unit);
    }
    return std::nullopt; // runs off the end of the buffer
}

// -1, 0 or 1 as `wanted` sorts before, equal to or after the stored name at
// `at`; kBadName when that name is misplaced or not terminated in the buffer.
// Code units compare unsigned; on a common prefix the shorter name is less.
int PropertiesImpl::compare_name(WStringView wanted, std::uint32_t at) const {
    const std::size_t size = m_buffer.size();
    if (at % 2 != 0 || at >= size)
        return kBadName;
    for (std::size_t i = 0;; ++i) {
        const std::size_t p = at + 2 * i;
        if (p + 2 > size)
            return kBadName;
        const char16_t unit = load16(static_cast<std::uint32_t>(p));
        if (i == wanted.size())
            return unit == 0 ? 0 : -1;
        if (unit == 0)
            return 1;
        if (wanted[i] != unit)
            return wanted[i] < unit ? -1 : 1;
    }
}

std::int32_t PropertiesImpl::scaled(std::int32_t value) const {
    return value * (std::int32_t{1} << m_scale_shift);
}

std::uint32_t PropertiesImpl::index_root() const {
    return m_loaded ? load32(kIndexRoot) : kNone;
}

// --- index and records -------------------------------------------------------------

NodeRecord PropertiesImpl::find_node(WStringView name) const {
    if (!m_loaded)
        return {};
    const std::uint64_t size = m_buffer.size();
    // A path through a proper tree never visits more entries than fit in the
    // file; a longer walk means the offsets form a cycle.
    std::uint64_t steps_left = size / kMinIndexEntry + 1;
    std::uint32_t at = load32(kIndexRoot);
    while (at != kNone && steps_left-- > 0) {
        if (at % 4 != 0 || std::uint64_t(at) + kMinIndexEntry > size)
            return {};
        const int order = compare_name(name, load32(at + 8));
        if (order == kBadName)
            return {};
        if (order == 0)
            return NodeRecord{at + kIndexEntryHead};
        at = order < 0 ? load32(at) : load32(at + 4);
    }
    return {};
}

std::vector<std::pair<WString, NodeRecord>> PropertiesImpl::top_level_nodes() const {
    std::vector<std::pair<WString, NodeRecord>> out;
    if (!m_loaded)
        return out;
    const std::uint64_t size = m_buffer.size();
    auto usable = [&](std::uint32_t at) {
        return at != kNone && at % 4 == 0 && std::uint64_t(at) + kMinIndexEntry <= size;
    };
    // In-order walk; each entry is entered once, so a cycle ends the branch.
    std::unordered_set<std::uint32_t> seen;
    std::vector<std::pair<std::uint32_t, bool>> stack; // entry, left side done
    if (usable(load32(kIndexRoot)))
        stack.emplace_back(load32(kIndexRoot), false);
    seen.insert(load32(kIndexRoot));
    while (!stack.empty()) {
        auto [at, left_done] = stack.back();
        stack.pop_back();
        if (!left_done) {
            stack.emplace_back(at, true);
            const std::uint32_t left = load32(at);
            if (usable(left) && seen.insert(left).second)
                stack.emplace_back(left, false);
            continue;
        }
        if (std::optional<WString> name = string_at(load32(at + 8)))
            out.emplace_back(std::move(*name), NodeRecord{at + kIndexEntryHead});
        const std::uint32_t right = load32(at + 4);
        if (usable(right) && seen.insert(right).second)
            stack.emplace_back(right, false);
    }
    return out;
}

bool PropertiesImpl::has_record(NodeRecord record) const {
    return m_loaded && record.valid() && record.offset % 4 == 0 &&
           std::uint64_t(record.offset) + kRecordHead <= m_buffer.size();
}

std::uint32_t PropertiesImpl::child_count(NodeRecord record) const {
    if (!has_record(record))
        return 0;
    const std::uint32_t declared = load16(record.offset + 14);
    // Only the part of the list that lies inside the buffer exists.
    const std::uint64_t room = (m_buffer.size() - record.offset - kRecordHead) / 4;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(declared, room));
}

NodeRecord PropertiesImpl::child(NodeRecord record, std::uint32_t index) const {
    if (index >= child_count(record))
        return {};
    const NodeRecord found{load32(record.offset + kRecordHead + 4 * index)};
    return has_record(found) ? found : NodeRecord{};
}

PropertiesImpl::Table PropertiesImpl::table(NodeRecord record, PropertyKind kind) const {
    if (!has_record(record))
        return {};
    const auto k = static_cast<std::uint32_t>(kind);
    const std::uint32_t start = load16(record.offset + 2 * k);
    const std::uint32_t end = load16(record.offset + 2 * k + 2);
    const std::uint32_t size = entry_size(kind);
    if (start > end || (end - start) % size != 0 ||
        std::uint64_t(record.offset) + end > m_buffer.size())
        return {};
    return {record.offset + start, (end - start) / size, size};
}

std::uint32_t PropertiesImpl::property_count(NodeRecord record, PropertyKind kind) const {
    return table(record, kind).count;
}

std::optional<WString> PropertiesImpl::property_name(NodeRecord record, PropertyKind kind,
                                                     std::uint32_t index) const {
    const Table t = table(record, kind);
    if (index >= t.count)
        return std::nullopt;
    return string_at(load16(t.begin + index * t.entry_size));
}

std::optional<std::uint32_t> PropertiesImpl::find_entry(NodeRecord record, PropertyKind kind,
                                                        WStringView name) const {
    const Table t = table(record, kind);
    std::uint32_t low = 0;
    std::uint32_t high = t.count;
    while (low != high) {
        const std::uint32_t mid = low + (high - low) / 2;
        const std::uint32_t entry = t.begin + mid * t.entry_size;
        const int order = compare_name(name, load16(entry));
        if (order == kBadName)
            return std::nullopt;
        if (order == 0)
            return entry;
        if (order < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return std::nullopt;
}

// --- the six readers ----------------------------------------------------------------

std::uint32_t PropertiesImpl::read_int(NodeRecord record, WStringView name,
                                       std::uint32_t def) const {
    const auto entry = find_entry(record, PropertyKind::Integer, name);
    return entry ? load32(*entry + 4) : def;
}

std::optional<std::uint32_t> PropertiesImpl::read_font_index(NodeRecord record,
                                                             WStringView name) const {
    const auto entry = find_entry(record, PropertyKind::Font, name);
    if (!entry)
        return std::nullopt;
    const std::uint32_t index = load32(*entry + 4);
    if (index >= m_fonts.size())
        return std::nullopt;
    return index;
}

FontHandle PropertiesImpl::read_font(NodeRecord record, WStringView name, FontHandle def) const {
    const auto index = read_font_index(record, name);
    return index ? m_fonts[*index] : def;
}

Point PropertiesImpl::read_point(NodeRecord record, WStringView name, Point def) const {
    const auto entry = find_entry(record, PropertyKind::Point, name);
    if (!entry)
        return def;
    const auto x = static_cast<std::int16_t>(load16(*entry + 4));
    const auto y = static_cast<std::int16_t>(load16(*entry + 6));
    return {scaled(x), scaled(y)};
}

std::optional<std::uint32_t> PropertiesImpl::read_string_index(NodeRecord record,
                                                               WStringView name) const {
    const auto entry = find_entry(record, PropertyKind::String, name);
    if (!entry)
        return std::nullopt;
    const std::uint32_t index = load16(*entry + 2);
    if (index >= m_strings.size())
        return std::nullopt;
    return index;
}

WString PropertiesImpl::read_string(NodeRecord record, WStringView name, WStringView def) const {
    const auto index = read_string_index(record, name);
    return index ? m_strings[*index] : WString(def);
}

std::optional<PictureRef> PropertiesImpl::read_picture_ref(NodeRecord record,
                                                           WStringView name) const {
    const auto entry = find_entry(record, PropertyKind::Picture, name);
    if (!entry)
        return std::nullopt;
    PictureRef ref;
    for (std::uint32_t i = 0; i < 4; ++i) {
        ref.x[i] = load16(*entry + 2 + 4 * i);
        ref.y[i] = load16(*entry + 4 + 4 * i);
    }
    ref.picture = m_buffer[*entry + 18];
    ref.flag = m_buffer[*entry + 19];
    if (ref.picture >= m_pictures.size())
        return std::nullopt;
    return ref;
}

Picture PropertiesImpl::read_picture(NodeRecord record, WStringView name,
                                     const Picture& def) const {
    const auto ref = read_picture_ref(record, name);
    if (!ref)
        return def;
    Picture picture = m_pictures[ref->picture];
    for (std::size_t i = 0; i < 4; ++i)
        picture.points[i] = {scaled(ref->x[i]), scaled(ref->y[i])};
    picture.scale_shift = m_scale_shift;
    picture.flags = ref->flag;
    return picture;
}

Colour PropertiesImpl::read_colour(NodeRecord record, WStringView name, Colour def) const {
    const auto entry = find_entry(record, PropertyKind::Colour, name);
    if (!entry)
        return def;
    return {m_buffer[*entry + 2], m_buffer[*entry + 3], m_buffer[*entry + 4], 255};
}

// --- reload listeners -----------------------------------------------------------------

void PropertiesImpl::add_reload_listener(SkinReloadListener* listener) {
    m_listeners.push_back(listener);
}

void PropertiesImpl::remove_reload_listener(SkinReloadListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void PropertiesImpl::send_reload_skin() {
    std::uint32_t lap = platform::tick_count();
    // A listener may unregister itself (or another) while being told.
    const std::vector<SkinReloadListener*> listeners = m_listeners;
    for (SkinReloadListener* listener : listeners) {
        const bool still_registered =
            std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end();
        if (m_owner && still_registered)
            listener->on_reload_skin(*m_owner);
    }
    runtime::log() << u"PropertiesImpl::send_reload_skin the rest time=" << lap_seconds(lap)
                   << u"\n";
}

// --- Properties -------------------------------------------------------------------------

Properties::Properties() {
    m_impl.m_owner = this;
}

bool Properties::load_skin(WStringView path, unsigned scale_shift, std::string* error) {
    runtime::log() << u"Properties::load_skin 1\n";
    PropertiesImpl candidate(path, scale_shift);
    const bool installed = install(candidate);
    if (!installed && error != nullptr)
        *error = candidate.load_error();
    return installed;
}

bool Properties::install(PropertiesImpl& candidate) {
    runtime::log() << u"Properties::load_skin 2\n";
    if (!candidate.is_loaded())
        return false;
    runtime::log() << u"Properties::load_skin 3\n";
    m_impl.swap_content(candidate);
    std::swap(m_impl.m_path, candidate.m_path);
    return true;
}

bool Properties::switch_to(PropertiesImpl& candidate) {
    if (!candidate.is_loaded())
        return false;
    // The skin a pending switch replaced is the one the screens were built
    // from: that one stays aside, not the untried one in between.
    const bool keep_older = m_replaced != nullptr;
    install(candidate);
    if (!keep_older) {
        m_replaced = std::make_unique<PropertiesImpl>();
        m_replaced->swap_content(candidate);
        m_replaced->m_path = candidate.m_path;
    }
    return true;
}

bool Properties::undo_switch() {
    if (!m_replaced)
        return false;
    m_impl.swap_content(*m_replaced);
    m_impl.m_path = m_replaced->m_path;
    m_replaced.reset();
    return true;
}

} // namespace telvara::ui
