// The contact generator: fixed name, company and street tables combined by a
// hash of the index, so the result depends on the index alone.
#include "data/test_contacts.h"

#include "data/contact_photo.h"

#include <array>
#include <cstdint>

namespace telvara::data {

namespace {

// splitmix64: a good spread from consecutive indexes.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

class Dice {
  public:
    explicit Dice(std::size_t index) : m_state(mix(index * 2654435761ULL + 17)) {}
    std::uint32_t next(std::uint32_t bound) {
        m_state = mix(m_state);
        return static_cast<std::uint32_t>(m_state % bound);
    }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& table) {
        return table[next(static_cast<std::uint32_t>(N))];
    }

  private:
    std::uint64_t m_state;
};

constexpr std::array<const char16_t*, 24> english_first = {
    u"James",  u"Mary",  u"John",    u"Patricia", u"Robert", u"Jennifer", u"Michael", u"Linda",
    u"David",  u"Emily", u"William", u"Susan",    u"Thomas", u"Sarah",    u"Daniel",  u"Karen",
    u"Oliver", u"Grace", u"Henry",   u"Alice",    u"George", u"Chloe",    u"Samuel",  u"Lucy"};
constexpr std::array<const char16_t*, 24> english_last = {
    u"Smith",  u"Johnson", u"Williams", u"Brown",  u"Jones", u"Miller", u"Davis",  u"Wilson",
    u"Taylor", u"Clark",   u"Lewis",    u"Walker", u"Hall",  u"Allen",  u"Young",  u"King",
    u"Wright", u"Scott",   u"Green",    u"Baker",  u"Adams", u"Nelson", u"Carter", u"O'Neil"};
// Russian names as pairs: the female form of the surname ends in "а".
constexpr std::array<const char16_t*, 12> russian_male_first = {
    u"Александр", u"Дмитрий", u"Сергей", u"Андрей", u"Алексей", u"Иван",
    u"Михаил",    u"Николай", u"Олег",   u"Павел",  u"Юрий",    u"Фёдор"};
constexpr std::array<const char16_t*, 12> russian_female_first = {
    u"Анна",  u"Мария", u"Елена",  u"Ольга", u"Наталья",  u"Татьяна",
    u"Ирина", u"Юлия",  u"Ксения", u"Дарья", u"Светлана", u"Алёна"};
constexpr std::array<const char16_t*, 12> russian_last = {
    u"Иванов", u"Смирнов", u"Кузнецов", u"Попов",  u"Соколов", u"Лебедев",
    u"Козлов", u"Новиков", u"Морозов",  u"Петров", u"Волков",  u"Фёдоров"};
constexpr std::array<const char16_t*, 12> english_companies = {
    u"Acme Corp",      u"Northwind Traders", u"Blue Harbor Ltd",  u"Greenfield Farms",
    u"Initech",        u"Summit Legal",      u"Brightline Media", u"Oak & Iron",
    u"Redwood Clinic", u"Harbor Freight Co", u"Pinecrest School", u"Lakeside Bakery"};
constexpr std::array<const char16_t*, 8> russian_companies = {
    u"ООО «Север»",         u"Ромашка",    u"АО «Восток-Сервис»", u"Стройинвест", u"Почта России",
    u"Детская поликлиника", u"Сбыт-Трейд", u"Библиотека №3"};
constexpr std::array<const char16_t*, 8> english_streets = {
    u"12 Baker Street", u"4 Elm Road",    u"77 Harbour Lane", u"301 Main Street",
    u"9 Queen's Walk",  u"18 Mill Close", u"250 Park Avenue", u"5 Church Row"};
constexpr std::array<const char16_t*, 6> english_cities = {u"London",  u"Boston", u"Leeds",
                                                           u"Seattle", u"Dublin", u"Austin"};
constexpr std::array<const char16_t*, 8> russian_streets = {
    u"ул. Ленина, 5",     u"пр. Мира, 101",     u"ул. Садовая, 17", u"Невский пр., 28",
    u"ул. Гагарина, 3к2", u"наб. Фонтанки, 40", u"ул. Пушкина, 10", u"Тверская ул., 7"};
constexpr std::array<const char16_t*, 4> russian_cities = {u"Москва", u"Санкт-Петербург", u"Казань",
                                                           u"Новосибирск"};
constexpr std::array<const char16_t*, 6> categories = {u"Business", u"Personal", u"Family",
                                                       u"Friends",  u"Работа",   u"Семья"};
constexpr std::array<const char16_t*, 5> job_titles = {u"Manager", u"Engineer", u"Accountant",
                                                       u"Designer", u"Director"};

WString digits(Dice& dice, int count) {
    WString out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char16_t>(u'0' + dice.next(10)));
    return out;
}

WString ascii_lower(WStringView text) {
    WString out;
    for (char16_t c : text) {
        if (c >= u'A' && c <= u'Z')
            out.push_back(static_cast<char16_t>(c - u'A' + u'a'));
        else if (c >= u'a' && c <= u'z')
            out.push_back(c);
    }
    return out;
}

// Latin transliteration for e-mail addresses of Russian contacts.
WString latin(WStringView text) {
    static constexpr std::array<const char16_t*, 33> table = {
        u"a",  u"b",  u"v",  u"g",    u"d", u"e", u"zh", u"z", u"i",  u"y",  u"k",
        u"l",  u"m",  u"n",  u"o",    u"p", u"r", u"s",  u"t", u"u",  u"f",  u"kh",
        u"ts", u"ch", u"sh", u"shch", u"",  u"y", u"",   u"e", u"yu", u"ya", u"e"};
    WString out;
    for (char16_t c : text) {
        char16_t lower = c >= u'А' && c <= u'Я' ? static_cast<char16_t>(c + 0x20) : c;
        if (lower >= u'а' && lower <= u'я')
            out += table[lower - u'а'];
        else if (lower == u'ё' || lower == u'Ё')
            out += u"yo";
    }
    return out;
}

} // namespace

std::vector<std::byte> make_test_contact_photo(std::size_t index) {
    // Its own dice, so that photos leave the contacts themselves unchanged.
    Dice dice(index ^ 0x5A17F00DULL);
    if (dice.next(4) != 0)
        return {};
    // Large enough to be drawn sharp on a card at three times the design size.
    constexpr std::int32_t k = 3;
    constexpr std::int32_t side = 64 * k;
    constexpr std::array<std::array<std::uint8_t, 3>, 8> grounds = {{{0x4F, 0x86, 0xC6},
                                                                     {0x5B, 0xA8, 0x6E},
                                                                     {0xD9, 0x8C, 0x3F},
                                                                     {0x9B, 0x59, 0xB6},
                                                                     {0xC0, 0x4B, 0x4B},
                                                                     {0x3F, 0xA7, 0xA7},
                                                                     {0x7A, 0x7A, 0x8C},
                                                                     {0xB5, 0x8E, 0x5A}}};
    const auto& ground = dice.pick(grounds);
    RgbImage image;
    image.width = side;
    image.height = side;
    image.rgb.resize(side * side * 3);
    for (std::int32_t y = 0; y < side; ++y) {
        for (std::int32_t x = 0; x < side; ++x) {
            // Head: a circle; shoulders: the top of a wide ellipse.
            const int hx = x - 32 * k, hy = y - 24 * k, sx = x - 32 * k, sy = y - 66 * k;
            const bool figure = hx * hx + hy * hy <= 13 * 13 * k * k ||
                                sx * sx * 4 + sy * sy * 9 <= 34 * 34 * 4 * k * k;
            std::uint8_t* p = &image.rgb[(std::size_t(y) * side + x) * 3];
            for (int c = 0; c < 3; ++c)
                p[c] = figure ? static_cast<std::uint8_t>(0xF0) : ground[c];
        }
    }
    return encode_png(image);
}

WStringView test_contact_categories() {
    return u"Business, Personal, Family, Friends, Работа, Семья";
}

ContactRecord make_test_contact(std::size_t index) {
    Dice dice(index);
    ContactRecord r;
    const bool russian = dice.next(5) < 2;
    const bool female = dice.next(2) == 1;
    const std::uint32_t shape = dice.next(20); // 0: company only, 1: first name only
    WString email_user;
    if (russian) {
        r.first_name = female ? dice.pick(russian_female_first) : dice.pick(russian_male_first);
        r.last_name = dice.pick(russian_last);
        if (female)
            r.last_name += u"а";
        r.company = dice.next(3) == 0 ? WString(dice.pick(russian_companies)) : WString();
        email_user = latin(r.first_name) + u"." + latin(r.last_name);
    } else {
        r.first_name = dice.pick(english_first);
        r.last_name = dice.pick(english_last);
        r.company = dice.next(3) == 0 ? WString(dice.pick(english_companies)) : WString();
        email_user = ascii_lower(r.first_name) + u"." + ascii_lower(r.last_name);
    }
    if (shape == 0) {
        r.first_name.clear();
        r.last_name.clear();
        r.company = russian ? dice.pick(russian_companies) : dice.pick(english_companies);
    } else if (shape == 1) {
        r.last_name.clear();
    }

    auto add = [&r](FieldType type, WString value) {
        r.fields.emplace_back(type, std::move(value));
    };
    const WString country_code = russian ? u"+7 " : u"+1 ";
    // Fields in the store's order: phones first.
    if (dice.next(10) < 9)
        add(FieldType::Mobile, country_code + (russian ? u"9" : u"") + digits(dice, 2) + u" " +
                                   digits(dice, 3) + u"-" + digits(dice, 4));
    if (!r.company.empty() || dice.next(4) == 0)
        add(FieldType::BusinessTel,
            country_code + digits(dice, 3) + u" " + digits(dice, 3) + u"-" + digits(dice, 4));
    if (dice.next(3) == 0)
        add(FieldType::HomeTel,
            country_code + digits(dice, 3) + u" " + digits(dice, 3) + u"-" + digits(dice, 4));
    if (dice.next(3) == 0 && !email_user.empty())
        add(FieldType::Email1, email_user + (russian ? u"@mail.ru" : u"@example.com"));
    if (!r.company.empty() && dice.next(4) == 0)
        add(FieldType::WebPage, u"https://www.example.org/");
    add(FieldType::Suffix, u"##F");
    if (!r.company.empty() && dice.next(2) == 0)
        add(FieldType::JobTitle, dice.pick(job_titles));
    if (dice.next(4) == 0) {
        // Between 1950 and 2005, at midnight UTC.
        const std::int64_t day = -7305 + static_cast<std::int64_t>(dice.next(20089));
        add(FieldType::Birthday, to_wstring(day * 86'400'000));
    }
    const std::uint32_t category_count = dice.next(6) == 0 ? 2 : dice.next(3) == 0 ? 1 : 0;
    WString category_text;
    for (std::uint32_t i = 0; i < category_count; ++i) {
        if (i > 0)
            category_text += u", ";
        category_text += dice.pick(categories);
    }
    if (!category_text.empty())
        add(FieldType::Categories, category_text);
    if (dice.next(5) == 0) {
        const auto base = static_cast<std::uint32_t>(FieldType::HomeAddress1);
        add(FieldType(base), russian ? dice.pick(russian_streets) : dice.pick(english_streets));
        add(FieldType(base + 1), russian ? dice.pick(russian_cities) : dice.pick(english_cities));
        // Region left out on purpose: addresses are often partial.
        add(FieldType(base + 3), digits(dice, russian ? 6 : 5));
        add(FieldType(base + 4), russian ? u"Россия" : u"USA");
    }
    return r;
}

} // namespace telvara::data
