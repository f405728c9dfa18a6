#include "model/my_date_time.h"

#include <cctype>
#include <cstdio>

#include "model/local_time.h"
#include "runtime/errors.h"

namespace tollwick {

namespace {

using std::chrono::microseconds;

MyDateTime::LocalTime currentLocalTime() {
    const auto now = std::chrono::system_clock::now();
    const auto r = clockReadingAt(now);
    const auto sinceSecond = std::chrono::duration_cast<microseconds>(now.time_since_epoch()) % std::chrono::seconds(1);
    const auto micros = sinceSecond.count() < 0 ? sinceSecond + std::chrono::seconds(1) : sinceSecond;
    const date::local_days day{date::year{r.year} / r.month / r.day};
    return day + std::chrono::hours(r.hour) + std::chrono::minutes(r.minute) + std::chrono::seconds(r.second) + micros;
}

// A cursor over ISO 8601 text that fails with one message naming the whole text.
class IsoReader {
public:
    explicit IsoReader(std::string_view text) : _text(text) {}

    [[noreturn]] void fail() const {
        throw InvalidValueError("Invalid isoformat string: '" + std::string(_text) + "'");
    }
    bool atEnd() const { return _pos == _text.size(); }
    char peek() const { return atEnd() ? '\0' : _text[_pos]; }
    bool accept(char c) {
        if (peek() != c)
            return false;
        ++_pos;
        return true;
    }
    void expect(char c) {
        if (!accept(c))
            fail();
    }
    int digits(std::size_t count) {
        int v = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(peek())))
                fail();
            v = v * 10 + (_text[_pos++] - '0');
        }
        return v;
    }
    // One to six digits of a fraction of a second, as microseconds.
    int fraction() {
        int v = 0;
        std::size_t n = 0;
        while (std::isdigit(static_cast<unsigned char>(peek()))) {
            if (++n > 6)
                fail();
            v = v * 10 + (_text[_pos++] - '0');
        }
        if (n == 0)
            fail();
        for (; n < 6; ++n)
            v *= 10;
        return v;
    }

private:
    std::string_view _text;
    std::size_t _pos = 0;
};

} // namespace

MyDateTime::MyDateTime() : date(currentLocalTime()) {}

MyDateTime::MyDateTime(std::string_view dateText) {
    if (dateText.empty()) {
        date = currentLocalTime();
        return;
    }
    IsoReader r(dateText);
    const int y = r.digits(4);
    r.expect('-');
    const int mo = r.digits(2);
    r.expect('-');
    const int d = r.digits(2);
    const date::year_month_day ymd{date::year{y}, date::month{static_cast<unsigned>(mo)},
                                   date::day{static_cast<unsigned>(d)}};
    if (y < 1 || !ymd.ok())
        r.fail();
    int h = 0, mi = 0, s = 0, us = 0;
    if (r.accept('T') || r.accept(' ')) {
        h = r.digits(2);
        r.expect(':');
        mi = r.digits(2);
        if (r.accept(':')) {
            s = r.digits(2);
            if (r.accept('.'))
                us = r.fraction();
        }
        if (h > 23 || mi > 59 || s > 59)
            r.fail();
        if (r.accept('Z')) {
            utcOffset = std::chrono::minutes(0);
        } else if (r.peek() == '+' || r.peek() == '-') {
            const int sign = r.peek() == '-' ? -1 : 1;
            r.accept(r.peek());
            const int oh = r.digits(2);
            int om = 0;
            if (r.accept(':') || !r.atEnd())
                om = r.digits(2);
            if (oh > 23 || om > 59)
                r.fail();
            utcOffset = std::chrono::minutes(sign * (oh * 60 + om));
        }
    }
    if (!r.atEnd())
        r.fail();
    date = date::local_days{ymd} + std::chrono::hours(h) + std::chrono::minutes(mi) + std::chrono::seconds(s) +
           microseconds(us);
}

std::string MyDateTime::encode(const MyDateTime& obj) {
    const auto day = date::floor<date::days>(obj.date);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<microseconds> tod{obj.date - day};
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d", static_cast<int>(ymd.year()),
                          static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                          static_cast<int>(tod.hours().count()), static_cast<int>(tod.minutes().count()),
                          static_cast<int>(tod.seconds().count()));
    std::string out(buf, static_cast<std::size_t>(n));
    if (const auto us = tod.subseconds().count(); us != 0) {
        n = std::snprintf(buf, sizeof buf, ".%06lld", static_cast<long long>(us));
        out.append(buf, static_cast<std::size_t>(n));
    }
    if (obj.utcOffset) {
        const auto total = obj.utcOffset->count();
        const auto magnitude = total < 0 ? -total : total;
        n = std::snprintf(buf, sizeof buf, "%c%02lld:%02lld", total < 0 ? '-' : '+',
                          static_cast<long long>(magnitude / 60), static_cast<long long>(magnitude % 60));
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

Fingerprint MyDateTime::fingerprint() const noexcept {
    return hashOf(scalarFingerprint(static_cast<long long>(date.time_since_epoch().count())),
                  utcOffset ? scalarFingerprint(static_cast<long long>(utcOffset->count())) : 0x5bd1e995ULL);
}

} // namespace tollwick
