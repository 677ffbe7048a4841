#include "dxf/RealFormat.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using u128 = unsigned __int128;

constexpr int SignificantDigits = 15;
constexpr std::uint64_t Pow10_14 = 100'000'000'000'000;
constexpr std::uint64_t Pow10_15 = 10 * Pow10_14;

// The powers of five that fit 64 bits.
constexpr std::array<std::uint64_t, 28> makePowersOf5()
{
    std::array<std::uint64_t, 28> p {};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}
constexpr std::array<std::uint64_t, 28> Pow5 = makePowersOf5();

constexpr char DigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233"
                              "34353637383940414243444546474849505152535455565758596061626364656667"
                              "6869707172737475767778798081828384858687888990919293949596979899";

// A number rounded to 15 significant digits: the digits, trailing zeros included, and the
// decimal exponent e such that the value is 0.d1d2...d15 times 10^e.
struct Decimal
{
    char digits[SignificantDigits];
    int exponent = 0;
};

void writePair(char *out, std::uint32_t pair)
{
    std::memcpy(out, DigitPairs + 2 * pair, 2);
}

// The fifteen digits of 10^14 <= n < 10^15. Splitting at 10^8 keeps every division one by a
// constant, which the compiler turns into a multiplication.
void writeFifteenDigits(char *out, std::uint64_t n)
{
    const auto high = static_cast<std::uint32_t>(n / 100'000'000);
    auto low = static_cast<std::uint32_t>(n % 100'000'000);
    for (int i = 3; i >= 0; --i) {
        writePair(out + 7 + 2 * i, low % 100);
        low /= 100;
    }
    out[0] = static_cast<char>('0' + high / 1'000'000);
    std::uint32_t rest = high % 1'000'000;
    for (int i = 2; i >= 0; --i) {
        writePair(out + 1 + 2 * i, rest % 100);
        rest /= 100;
    }
}

// Rounds 15 significant digits as an integer n (10^14 <= n <= 10^15 after rounding up) with the
// exponent of its leading digit into a Decimal, carrying into the exponent when all nines
// rounded up.
Decimal makeDecimal(std::uint64_t n, int leadingExponent)
{
    Decimal d;
    if (n == Pow10_15) {
        n = Pow10_14;
        ++leadingExponent;
    }
    writeFifteenDigits(d.digits, n);
    d.exponent = leadingExponent + 1;
    return d;
}

// The common case: 1E-13 <= magnitude < 1E15 and a normal double, value = m * 2^e2 with a 53-bit
// m. Then v * 10^k for k = 14 - floor(log10 v) lies in [10^14, 10^15) and equals
// m * 5^k * 2^(e2 + k), whose product m * 5^k fits 128 bits for k <= 27. Its integer part and
// the bits below it give the half-up rounding on the exact binary value without any division.
bool roundFast(double magnitude, Decimal &out)
{
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    if (biased == 0)
        return false;
    const std::uint64_t m =
        (bits & ((std::uint64_t { 1 } << 52) - 1)) | (std::uint64_t { 1 } << 52);
    const int e2 = biased - 1075;
    // floor(log10 2^p) for the binary exponent p; floor(log10 v) is that or one more, and the
    // loop below corrects the estimate from the integer part it finds.
    const int p = e2 + 52;
    int k = SignificantDigits - 1 - ((p * 78913) >> 18);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (k < 0 || k >= static_cast<int>(Pow5.size()))
            return false;
        const u128 product = static_cast<u128>(m) * Pow5[static_cast<std::size_t>(k)];
        const int shift = e2 + k;
        std::uint64_t whole;
        bool roundUp = false;
        if (shift >= 0) {
            // v * 10^k is a whole number below 2^54 here, so nothing is lost.
            whole = static_cast<std::uint64_t>(product << shift);
        } else {
            const int s = -shift;
            if (s >= 128)
                return false;
            whole = static_cast<std::uint64_t>(product >> s);
            const u128 fraction = product & ((u128 { 1 } << s) - 1);
            roundUp = fraction >= (u128 { 1 } << (s - 1));
        }
        if (whole >= Pow10_15) {
            --k;
            continue;
        }
        if (whole < Pow10_14) {
            ++k;
            continue;
        }
        out = makeDecimal(whole + (roundUp ? 1 : 0), SignificantDigits - 1 - k);
        return true;
    }
    return false;
}

// Parses "d.ddd...e±x" as written by std::to_chars in scientific form: the digits without the
// point and the exponent of the leading digit.
int splitScientific(std::string_view text, std::string &digits)
{
    const auto ePos = text.find('e');
    digits.clear();
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] != '.')
            digits.push_back(text[i]);
    int exponent = 0;
    const char *e = text.data() + ePos + 1;
    std::from_chars(e + (*e == '+' ? 1 : 0), text.data() + text.size(), exponent);
    return exponent;
}

// Every other finite, non-zero magnitude, double or extended, through the digits std::to_chars
// produces. Seventeen correctly rounded digits differ from the exact value by at most half a
// unit of the 17th digit, so digits 16 and 17 reading "51" or more mean the exact tail is at
// least half a unit of the 15th digit, and "49" or less mean it is below. Only "50" leaves the
// exact value on either side of the midpoint; then the full exact expansion decides (767
// significant digits hold every double, some 11,500 every extended value).
template <typename Real> Decimal roundGeneral(Real magnitude)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
        std::chars_format::scientific, SignificantDigits + 1);
    std::string digits;
    int exponent = splitScientific(std::string_view(buffer, result.ptr), digits);
    if (digits[15] == '5' && digits[16] == '0') {
        std::vector<char> exact(20000);
        result = std::to_chars(exact.data(), exact.data() + exact.size(), magnitude,
            std::chars_format::scientific, 16500);
        exponent = splitScientific(std::string_view(exact.data(), result.ptr), digits);
    }
    std::uint64_t kept = 0;
    for (int i = 0; i < SignificantDigits; ++i)
        kept = kept * 10 + static_cast<std::uint64_t>(digits[static_cast<std::size_t>(i)] - '0');
    // With the exact expansion a 5 means at least half; with 17 digits the test above has made
    // sure that a 5 is not the ambiguous case.
    if (digits[SignificantDigits] >= '5')
        ++kept;
    return makeDecimal(kept, exponent);
}

char *copy(char *out, const char *from, int count)
{
    std::memcpy(out, from, static_cast<std::size_t>(count));
    return out + count;
}

char *layOut(char *out, bool negative, const Decimal &d)
{
    int count = SignificantDigits;
    while (count > 1 && d.digits[count - 1] == '0')
        --count;
    if (negative)
        *out++ = '-';
    const int e = d.exponent;
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            *out++ = '0';
            *out++ = '.';
            for (int i = 0; i < -e; ++i)
                *out++ = '0';
            return copy(out, d.digits, count);
        }
        // The digits beyond the significant ones are zeros already, so a whole number takes
        // the first e of them as they stand.
        if (count <= e)
            return copy(out, d.digits, e);
        out = copy(out, d.digits, e);
        *out++ = '.';
        return copy(out, d.digits + e, count - e);
    }
    *out++ = d.digits[0];
    if (count > 1) {
        *out++ = '.';
        out = copy(out, d.digits + 1, count - 1);
    }
    *out++ = 'E';
    return std::to_chars(out, out + 8, e - 1).ptr;
}

} // namespace

char *writeDxfDouble(char *out, double value)
{
    if (value == 0 || !std::isfinite(value)) {
        *out++ = '0';
        return out;
    }
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    Decimal d;
    if (!roundFast(magnitude, d))
        d = roundGeneral(magnitude);
    return layOut(out, negative, d);
}

void appendDxfDouble(std::string &out, double value)
{
    char text[MaxDxfRealLength];
    out.append(text, writeDxfDouble(text, value));
}

void appendDxfReal(std::string &out, long double value)
{
    const auto asDouble = static_cast<double>(value);
    if (static_cast<long double>(asDouble) == value || !std::isfinite(value)) {
        appendDxfDouble(out, asDouble);
        return;
    }
    // Extended values that are no doubles are rare but repeat (the spline tolerances), and
    // their general path is slow; the last one is remembered per thread.
    thread_local long double lastValue = 0;
    thread_local Decimal lastDecimal;
    const bool negative = std::signbit(value);
    const long double magnitude = negative ? -value : value;
    if (magnitude != lastValue) {
        lastDecimal = roundGeneral(magnitude);
        lastValue = magnitude;
    }
    char text[MaxDxfRealLength];
    out.append(text, layOut(text, negative, lastDecimal));
}

std::string formatDxfReal(long double value)
{
    std::string out;
    appendDxfReal(out, value);
    return out;
}
