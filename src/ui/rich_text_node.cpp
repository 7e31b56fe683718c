// The "richtext" node: link search, link drawing colours and the tap that
// opens a link, plus the replaceable opener.
#include "ui/rich_text_node.h"

#include "platform/clock.h"
#include "runtime/log.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>

namespace telvara::ui {

namespace {

constexpr std::array<WStringView, 43> kLinkEndings = {
    u".com", u".net", u".org", u".edu", u".gov", u".biz",  u".cn",   u".de", u".fr",
    u".gb",  u".it",  u".jp",  u".ru",  u".uk",  u".us",   u".ae",   u".at", u".au",
    u".be",  u".br",  u".ca",  u".cc",  u".ch",  u".cz",   u".es",   u".eu", u".fl",
    u".gr",  u".hk",  u".il",  u".in",  u".kr",  u"nl",    u".no",   u"pl",  u".pt",
    u".sa",  u".se",  u".tr",  u".tw",  u".ua",  u".info", u".mobi",
};

bool is_leading_punctuation(char16_t c) {
    return WStringView(u"([{<\"'\u00AB\u201C\u2018").find(c) != WStringView::npos;
}

bool is_trailing_punctuation(char16_t c) {
    return WStringView(u".,;:!?)]}>\"'\u00BB\u201D\u2019").find(c) != WStringView::npos;
}

// Letters, digits, "-" and anything beyond ASCII (international names), in
// dot-separated labels none of which is empty.
bool is_host(WStringView host) {
    if (host.empty() || host.front() == u'.' || host.back() == u'.')
        return false;
    char16_t previous = 0;
    for (char16_t c : host) {
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                        (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c >= 0x80;
        if (!ok || (c == u'.' && previous == u'.'))
            return false;
        previous = c;
    }
    return true;
}

bool has_link_ending(WStringView host) {
    for (WStringView ending : kLinkEndings) {
        if (!ends_with_ignoring_ascii_case(host, ending))
            continue;
        const std::size_t label_start = host.size() - ending.size();
        // Something must come before the ending; a dotless ending must be a
        // whole label.
        if (ending.front() == u'.' ? label_start > 0
                                   : label_start > 1 && host[label_start - 1] == u'.')
            return true;
    }
    return false;
}

// The address a word stands for, or nothing.
std::optional<WString> link_address(WStringView word) {
    for (WStringView scheme : {WStringView(u"http://"), WStringView(u"https://")}) {
        if (starts_with_ignoring_ascii_case(word, scheme))
            return word.size() > scheme.size() ? std::optional<WString>(WString(word))
                                               : std::nullopt;
    }
    if (word.find(u'@') != WStringView::npos)
        return std::nullopt;
    const WStringView host = word.substr(0, word.find_first_of(u"/?#:"));
    if (!is_host(host) || !has_link_ending(host))
        return std::nullopt;
    return u"http://" + WString(word);
}

struct UrlHook {
    std::mutex mutex;
    OpenUrlHandler handler;
};

UrlHook& url_hook() {
    static UrlHook hook;
    return hook;
}

bool log_url(WStringView address) {
    runtime::log() << platform::tick_count() << u" RichTextNode::open_url " << address << u"\n";
    return false;
}

} // namespace

std::span<const WStringView> link_endings() {
    return kLinkEndings;
}

std::vector<TextLink> find_links(WStringView text) {
    std::vector<TextLink> links;
    const std::size_t n = text.size();
    std::size_t at = 0;
    while (at < n) {
        if (is_break_opportunity(text[at])) {
            ++at;
            continue;
        }
        std::size_t start = at;
        while (at < n && !is_break_opportunity(text[at]))
            ++at;
        std::size_t end = at;
        while (start < end && is_leading_punctuation(text[start]))
            ++start;
        while (end > start && is_trailing_punctuation(text[end - 1]))
            --end;
        if (auto address = link_address(text.substr(start, end - start)))
            links.push_back(
                {{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end - start)},
                 std::move(*address)});
    }
    return links;
}

void set_open_url_handler(OpenUrlHandler handler) {
    UrlHook& hook = url_hook();
    std::lock_guard lock(hook.mutex);
    hook.handler = std::move(handler);
}

bool open_url(WStringView address) {
    OpenUrlHandler handler;
    {
        UrlHook& hook = url_hook();
        std::lock_guard lock(hook.mutex);
        handler = hook.handler;
    }
    return handler ? handler(address) : log_url(address);
}

// --- RichTextNode --------------------------------------------------------------

void RichTextNode::update_links() {
    if (m_links_version == text_version())
        return;
    m_links = find_links(text());
    m_ranges.clear();
    for (const TextLink& link : m_links)
        m_ranges.push_back(link.range);
    m_links_version = text_version();
    m_pressed = -1;
}

const std::vector<TextLink>& RichTextNode::links() {
    update_links();
    return m_links;
}

std::span<const TextRange> RichTextNode::link_ranges() {
    update_links();
    return m_ranges;
}

void RichTextNode::set_link_color(Colour colour) {
    if (colour == m_link_colour)
        return;
    m_link_colour = colour;
    mark_redraw();
}

std::int32_t RichTextNode::link_index_at(Point point) {
    update_links();
    if (m_links.empty() || !hit_test(point) || !font() || font()->is_null())
        return -1;
    const PenPositions pen = positions();
    const std::int32_t height_of_line = line_height();
    const std::vector<TextLine>& all = lines();
    for (const PlacedLine& placed : place_lines(Point{x(), y()})) {
        if (placed.lone_ellipsis || point.y < placed.y || point.y >= placed.y + height_of_line)
            continue;
        const TextLine& line = all[placed.line];
        const std::int32_t along = point.x - placed.x + pen_before(pen, line.start);
        if (along < pen_before(pen, line.start))
            return -1;
        // The character whose right edge is first past the point.
        const auto* past =
            std::upper_bound(pen.data() + line.start, pen.data() + placed.drawn_end, along);
        const auto index = static_cast<std::uint32_t>(past - pen.data());
        if (index >= placed.drawn_end)
            return -1;
        for (std::size_t i = 0; i < m_links.size(); ++i) {
            const TextRange& range = m_links[i].range;
            if (range.start <= index && index < range.end())
                return static_cast<std::int32_t>(i);
        }
        return -1;
    }
    return -1;
}

const TextLink* RichTextNode::link_at(Point point) {
    const std::int32_t index = link_index_at(point);
    return index < 0 ? nullptr : &m_links[static_cast<std::size_t>(index)];
}

bool RichTextNode::on_touch(const PointerEvent& event) {
    const Point point{event.x, event.y};
    if (m_pressed >= 0) {
        if (event.is_pressed() && !event.cancelled)
            return true; // moves while the link is held
        const std::int32_t pressed = m_pressed;
        m_pressed = -1;
        if (!event.cancelled && event.kind == PointerKind::Up && link_index_at(point) == pressed)
            open_url(m_links[static_cast<std::size_t>(pressed)].address);
        return true;
    }
    if (event.kind == PointerKind::Down && !event.cancelled) {
        if (const std::int32_t index = link_index_at(point); index >= 0) {
            m_pressed = index;
            return true;
        }
    }
    return TextNode::on_touch(event);
}

} // namespace telvara::ui
