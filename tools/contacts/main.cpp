// telvara-contacts: imports vCard files into the contact store, exports it,
// lists it, fills it with generated contacts and erases it, on the same
// device root as the program and while the program runs (its watcher picks
// the changes up from the store's journal).
#include "data/contact_store.h"
#include "data/vcard.h"
#include "platform/atomic_file.h"
#include "runtime/paths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace telvara;
using namespace telvara::data;

namespace {

constexpr const char* usage_text =
    "usage: telvara-contacts [--root DIR] COMMAND\n"
    "       telvara-contacts --help | --version\n"
    "\n"
    "commands:\n"
    "  import [--charset NAME] FILE.vcf...  add the cards of vCard 2.1/3.0/4.0 files\n"
    "                                       (\"-\" reads standard input); NAME is the\n"
    "                                       charset (any iconv name) of 8-bit text\n"
    "                                       that names none and is not UTF-8\n"
    "                                       (default windows-1252)\n"
    "  export [--force] [FILE]              write every contact as vCard 3.0, to\n"
    "                                       standard output without FILE; a store\n"
    "                                       that cannot be read whole is an error,\n"
    "                                       and an existing FILE is then replaced\n"
    "                                       by the contacts that could be read only\n"
    "                                       with --force\n"
    "  list                                 one contact a line: name, then all its\n"
    "                                       numbers (fax and pager too)\n"
    "  add-test N                           add N generated contacts, some with photos\n"
    "  erase [--generated]                  delete every contact (only the generated\n"
    "                                       ones with --generated)\n"
    "  path                                 print the contact volume's file name\n"
    "\n"
    "The contacts live in DIR/pim.vol; DIR defaults to $TELVARA_ROOT, else\n"
    "$XDG_DATA_HOME/telvara, else ~/.local/share/telvara.\n"
    "Exit status: 0 done, 1 failed or something not imported as it was (a card\n"
    "or line skipped, a number left out, text in an unknown charset), 2 bad usage.\n";

// Contacts stored per transaction: a crash loses at most the batch in flight.
constexpr std::size_t kBatch = 500;

int usage_error(const std::string& message) {
    std::fprintf(stderr, "telvara-contacts: %s\n\n%s", message.c_str(), usage_text);
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "telvara-contacts: %s\n", message.c_str());
    return 1;
}

// A whole address book with photos fits well below this; a link to
// /dev/zero does not.
constexpr std::size_t kMaxVCardFileBytes = 256u << 20;

// The cards of a file ("-": standard input). A FIFO or device is refused as
// a file, and more than kMaxVCardFileBytes from either is refused too; `why`
// then says so with the name.
bool read_input(const std::string& name, std::string& out, std::string& why) {
    if (name != "-") {
        auto text = platform::read_whole_file(name, kMaxVCardFileBytes, &why);
        if (!text)
            return false;
        out = std::move(*text);
        return true;
    }
    out.clear();
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
        out.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
        if (out.size() > kMaxVCardFileBytes) {
            why = "standard input: more than " + platform::size_text(kMaxVCardFileBytes) +
                  ", not read";
            return false;
        }
    }
    if (std::cin.bad()) {
        why = "standard input: cannot be read";
        return false;
    }
    return true;
}

bool open_store(ContactStore& store, int& status) {
    if (store.is_open())
        return true;
    status = failure("cannot open the contact volume: " + store.volume_problem_text());
    return false;
}

// Why a write to the store failed: what is wrong with the volume, or what
// the write met.
std::string write_problem(const ContactStore& store) {
    return store.volume_state().writable() ? describe_write_failure(store.last_write_failure())
                                           : store.volume_problem_text();
}

// Every contact the store gives. False, with the reason, when it could not
// be read whole: fewer contacts than it counts, or a read that failed.
bool load_all(ContactStore& store, std::vector<ContactRecord>& contacts, std::string& why) {
    const std::int64_t expected = store.stored_count();
    store.load_contacts(contacts);
    if (store.volume_state().problem == VolumeProblem::none && expected >= 0 &&
        contacts.size() == static_cast<std::size_t>(expected))
        return true;
    why = "the contact volume cannot be read whole: " + store.volume_problem_text() + "; " +
          std::to_string(contacts.size()) + " of " +
          (expected >= 0 ? std::to_string(expected) : std::string("its")) + " contacts were read";
    return false;
}

// "2 of 3 cards imported, 1 skipped (the card at line 7)" and the numbers
// that found no free field.
std::string summary(const VCardFile& file, std::size_t stored) {
    std::string out = std::to_string(stored) + " of " + std::to_string(file.cards) +
                      " cards imported, " + std::to_string(file.skipped_cards) + " skipped";
    std::string lines;
    for (const auto& problem : file.problems)
        if (problem.severity == VCardProblem::Severity::skipped_card)
            lines += (lines.empty() ? "" : ", ") + std::to_string(problem.card_line);
    if (!lines.empty())
        out +=
            std::string(file.skipped_cards == 1 ? " (the card at line " : " (the cards at lines ") +
            lines + ")";
    if (file.numbers_left_out > 0)
        out += ", " + std::to_string(file.numbers_left_out) +
               (file.numbers_left_out == 1 ? " number" : " numbers") +
               " left out (no free phone field)";
    return out;
}

// Imports one file; false when it could not be read or stored. `troubled`
// is set when the file had anything that was not imported as it was.
bool import_file(ContactStore& store, const std::string& name, const VCardOptions& options,
                 bool& troubled) {
    std::string text;
    std::string why;
    if (!read_input(name, text, why)) {
        std::fprintf(stderr, "telvara-contacts: cannot read %s\n", why.c_str());
        return false;
    }
    VCardFile file = parse_vcards(text, options);
    text.clear();
    text.shrink_to_fit();
    for (const auto& problem : file.problems)
        std::fprintf(stderr, "telvara-contacts: %s: %s\n", name.c_str(), problem.text().c_str());
    troubled = troubled || !file.problems.empty();

    const std::size_t total = file.contacts.size();
    const bool progress = total > kBatch && ::isatty(STDERR_FILENO);
    std::size_t stored = 0;
    while (stored < total) {
        const std::size_t count = std::min(kBatch, total - stored);
        if (!store.create_contacts(std::span(file.contacts).subspan(stored, count))) {
            if (progress)
                std::fputc('\n', stderr);
            const std::string why = write_problem(store);
            std::fprintf(stderr,
                         "telvara-contacts: %s: storing the cards from line %zu on failed (%s); "
                         "%zu contacts were imported before\n",
                         name.c_str(), file.card_lines[stored], why.c_str(), stored);
            return false;
        }
        stored += count;
        if (progress)
            std::fprintf(stderr, "\r%s: %zu of %zu contacts (%zu%%)", name.c_str(), stored, total,
                         stored * 100 / total);
    }
    if (progress)
        std::fputc('\n', stderr);
    std::printf("%s: %s\n", name.c_str(), summary(file, stored).c_str());
    return true;
}

int run_import(std::vector<std::string> args) {
    VCardOptions options;
    if (!args.empty() && args[0] == "--charset") {
        if (args.size() < 2)
            return usage_error("--charset needs a name");
        if (!charset_supported(args[1]))
            return usage_error("unknown charset \"" + args[1] +
                               "\" (see iconv --list for the names)");
        options.fallback = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return usage_error("import needs at least one file");
    ContactStore store;
    int status = 0;
    if (!open_store(store, status))
        return status;
    bool troubled = false;
    bool ok = true;
    for (const auto& name : args)
        ok = import_file(store, name, options, troubled) && ok;
    return ok && !troubled ? 0 : 1;
}

int run_export(std::vector<std::string> args) {
    const bool force = !args.empty() && args[0] == "--force";
    if (force)
        args.erase(args.begin());
    if (args.size() > 1)
        return usage_error("export takes at most one file");
    ContactStore store;
    int status = 0;
    if (!open_store(store, status))
        return status;
    std::vector<ContactRecord> contacts;
    std::string why;
    const bool whole = load_all(store, contacts, why);
    const bool to_stdout = args.empty() || args[0] == "-";
    // A file is written beside its final name and renamed over it when whole.
    const std::string target = to_stdout ? std::string() : args[0];
    std::error_code exists_error;
    if (!whole && !to_stdout && !force && std::filesystem::exists(target, exists_error))
        return failure(why + "; " + target + " is left as it is (--force replaces it with the " +
                       std::to_string(contacts.size()) + " contacts read)");
    const std::string temporary = target + ".part";
    std::ofstream file;
    if (!to_stdout) {
        file.open(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return failure("cannot write " + temporary);
    }
    std::ostream& out = to_stdout ? std::cout : file;
    for (const auto& record : contacts)
        out << write_vcard(record, store.get_picture(record));
    out.flush();
    if (!out)
        return failure("writing " + (to_stdout ? std::string("standard output") : temporary) +
                       " failed");
    if (!to_stdout) {
        file.close();
        std::error_code error;
        std::filesystem::rename(temporary, target, error);
        if (error)
            return failure("cannot rename " + temporary + " to " + target + ": " + error.message());
        std::fprintf(stderr, "telvara-contacts: %zu contacts written to %s\n", contacts.size(),
                     target.c_str());
    }
    return whole ? 0 : failure(why);
}

int run_list() {
    ContactStore store;
    int status = 0;
    if (!open_store(store, status))
        return status;
    std::vector<ContactRecord> contacts;
    std::string why;
    const bool whole = load_all(store, contacts, why);
    std::string out;
    for (const auto& r : contacts) {
        WString name = r.first_name;
        if (!r.last_name.empty())
            name += (name.empty() ? u"" : u" ") + r.last_name;
        if (name.empty())
            name = r.company;
        if (name.empty())
            name = u"(no name)";
        out += to_utf8(name);
        for (const auto& field : r.fields)
            if (is_number_field(field.type))
                out += "\t" + to_utf8(field.value);
        out += "\n";
    }
    std::fputs(out.c_str(), stdout);
    return whole ? 0 : failure(why);
}

int run(std::vector<std::string> args) {
    if (args.size() >= 2 && args[0] == "--root") {
        if (args[1].empty())
            return usage_error("--root needs a folder");
        runtime::set_device_root(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return usage_error("no command given");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (command == "--version") {
        std::fputs("telvara-contacts " TELVARA_VERSION "\n", stdout);
        return 0;
    }
    if (command == "import")
        return run_import(args);
    if (command == "export")
        return run_export(args);
    if (command == "list") {
        if (!args.empty())
            return usage_error("list takes no arguments");
        return run_list();
    }
    if (command == "path") {
        if (!args.empty())
            return usage_error("path takes no arguments");
        std::printf("%s\n", runtime::file_path(u"\\pim.vol").c_str());
        return 0;
    }
    if (command == "add-test") {
        if (args.size() != 1)
            return usage_error("add-test needs a count");
        char* end = nullptr;
        const unsigned long long n = std::strtoull(args[0].c_str(), &end, 10);
        if (args[0].empty() || args[0][0] == '-' || *end != '\0' || n == 0 || n > 1'000'000)
            return usage_error("add-test needs a count from 1 to 1000000");
        ContactStore store;
        int status = 0;
        if (!open_store(store, status))
            return status;
        if (store.add_test_contacts(n, TestPhotos::some) != n)
            return failure("adding the generated contacts failed: " + write_problem(store));
        std::printf("%llu contacts added\n", n);
        return 0;
    }
    if (command == "erase") {
        if (args.size() > 1 || (args.size() == 1 && args[0] != "--generated"))
            return usage_error("erase takes only --generated");
        ContactStore store;
        int status = 0;
        if (!open_store(store, status))
            return status;
        const auto scope = args.empty() ? EraseScope::all : EraseScope::marked;
        std::vector<ContactRecord> before;
        store.load_contacts(before);
        const std::size_t erased = store.erase_contacts(scope);
        if (store.last_write_failure() != WriteFailure::none ||
            (erased == 0 && !before.empty() && scope == EraseScope::all))
            return failure("erasing failed: " + write_problem(store));
        std::printf("%zu contacts erased\n", erased);
        return 0;
    }
    return usage_error("unknown command \"" + command + "\"");
}

} // namespace

int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
