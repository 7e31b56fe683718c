// Folder listing for the language and skin lists.
#include "ui/lang/file_search.h"

#include "runtime/paths.h"

#include <filesystem>

namespace telvara::ui {
namespace {

namespace fs = std::filesystem;

// "*" any run, "?" any one code unit, everything else itself.
bool wildcard_match(WStringView pattern, WStringView name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = WStringView::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star != WStringView::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

struct Entry {
    WString name;
    bool folder = false;
};

std::vector<Entry> list_folder(WStringView folder) {
    std::vector<Entry> entries;
    std::error_code error;
    fs::directory_iterator it(runtime::file_path(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        entries.push_back({from_utf8(it->path().filename().string()), it->is_directory(ignored)});
    }
    return entries;
}

class Collector : public FileSearchVisitor {
  public:
    explicit Collector(bool (*accept)(WStringView)) : m_accept(accept) {}
    bool on_file(const WString& path) override {
        if (m_accept(path))
            m_found.push_back(path);
        return true;
    }
    bool on_folder(const WString&) override { return true; }
    std::vector<WString> take() { return std::move(m_found); }

  private:
    bool (*m_accept)(WStringView);
    std::vector<WString> m_found;
};

bool any_file(WStringView) {
    return true;
}

// A folder pattern that names no real folder: only the top folder is searched.
constexpr WStringView kNoFolders = u"do_not_search";

} // namespace

bool search_files(WStringView folder, WStringView file_pattern, WStringView folder_pattern,
                  FileSearchVisitor& visitor, Recursion recursion) {
    const std::vector<Entry> entries = list_folder(folder);
    auto full = [&](const WString& name) { return WString(folder) + u"/" + name; };
    for (const Entry& entry : entries)
        if (!entry.folder && wildcard_match(file_pattern, entry.name) &&
            !visitor.on_file(full(entry.name)))
            return false;
    for (const Entry& entry : entries) {
        if (!entry.folder || entry.name == u"." || entry.name == u".." ||
            !wildcard_match(folder_pattern, entry.name))
            continue;
        const WString path = full(entry.name);
        if (!visitor.on_folder(path))
            return false;
        if (recursion == Recursion::IntoFolders &&
            !search_files(path, file_pattern, folder_pattern, visitor, recursion))
            return false;
    }
    return true;
}

WString base_name(WStringView path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    WStringView name = slash == WStringView::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(u'.');
    return WString(dot == WStringView::npos ? name : name.substr(0, dot));
}

bool is_selectable_skin(WStringView path) {
    const WString name = base_name(path);
    return !starts_with_ignoring_ascii_case(name, u"splash") &&
           !starts_with_ignoring_ascii_case(name, u"today");
}

std::vector<WString> find_language_files(WStringView folder) {
    Collector collector(&any_file);
    search_files(folder, u"*.lng", kNoFolders, collector, Recursion::TopOnly);
    return collector.take();
}

std::vector<WString> find_skin_files(WStringView folder) {
    Collector collector(&is_selectable_skin);
    search_files(folder, u"*.skin", kNoFolders, collector, Recursion::TopOnly);
    return collector.take();
}

} // namespace telvara::ui
