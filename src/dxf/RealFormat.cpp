#include "dxf/RealFormat.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using u128 = unsigned __int128;

constexpr int SignificantDigits = 15;

// The rounded number before it is laid out: the significant digits without trailing zeros
// and the decimal exponent e such that the value is 0.d1d2...dn times 10^e.
struct Decimal
{
    char digits[SignificantDigits];
    int count = 0;
    int exponent = 0;
};

constexpr std::array<u128, 39> makePowersOf10()
{
    std::array<u128, 39> p {};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<u128, 39> Pow10 = makePowersOf10();

constexpr std::array<u128, 56> makePowersOf5()
{
    std::array<u128, 56> p {};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}
constexpr std::array<u128, 56> Pow5 = makePowersOf5();

int bitWidth(u128 v)
{
    const auto high = static_cast<std::uint64_t>(v >> 64);
    if (high != 0)
        return 64 + std::bit_width(high);
    return std::bit_width(static_cast<std::uint64_t>(v));
}

int decimalDigitCount(u128 v)
{
    // bit width times log10(2) is the digit count or one more than it.
    const int estimate = (bitWidth(v) * 1233) >> 12;
    return estimate - (v < Pow10[static_cast<std::size_t>(estimate)] ? 1 : 0) + 1;
}

constexpr char DigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233"
                              "34353637383940414243444546474849505152535455565758596061626364656667"
                              "6869707172737475767778798081828384858687888990919293949596979899";

// Rounds the integer n (not zero) times 10^shift half up to 15 digits.
Decimal roundInteger(u128 n, int shift)
{
    int digitCount = decimalDigitCount(n);
    std::uint64_t kept;
    if (digitCount > SignificantDigits) {
        const int dropped = digitCount - SignificantDigits;
        bool roundUp;
        if (static_cast<std::uint64_t>(n >> 64) == 0 && dropped < 20) {
            // Most numbers fit 64 bits, where division is far cheaper.
            const auto small = static_cast<std::uint64_t>(n);
            const auto divisor =
                static_cast<std::uint64_t>(Pow10[static_cast<std::size_t>(dropped)]);
            kept = small / divisor;
            roundUp = (small - kept * divisor) >= divisor - (small - kept * divisor);
        } else {
            const u128 divisor = Pow10[static_cast<std::size_t>(dropped)];
            const u128 quotient = n / divisor;
            const u128 remainder = n - quotient * divisor;
            kept = static_cast<std::uint64_t>(quotient);
            roundUp = remainder >= divisor - remainder;
        }
        shift += dropped;
        if (roundUp)
            ++kept;
        digitCount = SignificantDigits;
        if (kept == static_cast<std::uint64_t>(Pow10[SignificantDigits])) {
            kept /= 10;
            ++shift;
        }
    } else {
        kept = static_cast<std::uint64_t>(n);
    }
    Decimal d;
    d.exponent = digitCount + shift;
    // Trailing zeros are dropped before the digits are written out.
    while (kept % 10 == 0)
        kept /= 10;
    char text[24];
    char *end = text + sizeof text;
    char *p = end;
    while (kept >= 100) {
        const auto pair = static_cast<std::size_t>(kept % 100) * 2;
        kept /= 100;
        *--p = DigitPairs[pair + 1];
        *--p = DigitPairs[pair];
    }
    if (kept >= 10) {
        const auto pair = static_cast<std::size_t>(kept) * 2;
        *--p = DigitPairs[pair + 1];
        *--p = DigitPairs[pair];
    } else {
        *--p = static_cast<char>('0' + kept);
    }
    d.count = static_cast<int>(end - p);
    std::memcpy(d.digits, p, static_cast<std::size_t>(d.count));
    return d;
}

// Exact decimal expansion of a finite, non-zero magnitude that fits the integer fast path:
// value = mantissa * 2^exponent2, mantissa odd.
bool roundFast(std::uint64_t mantissa, int exponent2, Decimal &out)
{
    const int width = std::bit_width(mantissa);
    if (exponent2 >= 0) {
        if (width + exponent2 > 127)
            return false;
        out = roundInteger(static_cast<u128>(mantissa) << exponent2, 0);
        return true;
    }
    const int k = -exponent2;
    if (k >= static_cast<int>(Pow5.size()) || width + bitWidth(Pow5[k]) > 128)
        return false;
    // m * 2^-k = m * 5^k * 10^-k, and m * 5^k still fits 128 bits.
    out = roundInteger(static_cast<u128>(mantissa) * Pow5[k], -k);
    return true;
}

// General path through the exact digits that std::to_chars produces. Only numbers whose
// exact expansion does not fit 128 bits come here (very large, very small, or extended
// values with a long mantissa).
template <typename Real> Decimal roundGeneral(Real magnitude)
{
    // 17 digits settle the half-up rounding unless the two digits after the fifteenth are
    // "50", which may be an exact tie or a value just below or above it.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
        std::chars_format::scientific, SignificantDigits + 1);
    std::string text(buffer, result.ptr);
    if (text[16] == '5' && text[17] == '0') {
        std::vector<char> exact(20000);
        result = std::to_chars(exact.data(), exact.data() + exact.size(), magnitude,
            std::chars_format::scientific, 16500);
        text.assign(exact.data(), result.ptr);
    }
    const auto ePos = text.find('e');
    const int exponent10 = std::atoi(text.c_str() + ePos + 1);
    std::string digits;
    digits.reserve(ePos);
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] != '.')
            digits.push_back(text[i]);
    // digits[0] is the leading digit: value = d0.d1d2... * 10^exponent10.
    std::uint64_t kept = 0;
    for (int i = 0; i < SignificantDigits; ++i)
        kept = kept * 10 + static_cast<std::uint64_t>(digits[i] - '0');
    bool roundUp = false;
    if (digits.size() > static_cast<std::size_t>(SignificantDigits)) {
        const char next = digits[SignificantDigits];
        if (next > '5') {
            roundUp = true;
        } else if (next == '5') {
            // With the exact expansion a 5 means at least half: round up. With 17 digits the
            // path above has made sure this is not an ambiguous case.
            roundUp = true;
        }
    }
    if (roundUp)
        ++kept;
    return roundInteger(kept, exponent10 + 1 - SignificantDigits);
}

void layOut(std::string &out, bool negative, const Decimal &d)
{
    if (negative)
        out.push_back('-');
    const int e = d.exponent;
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            out.append("0.");
            out.append(static_cast<std::size_t>(-e), '0');
            out.append(d.digits, static_cast<std::size_t>(d.count));
        } else if (d.count <= e) {
            out.append(d.digits, static_cast<std::size_t>(d.count));
            out.append(static_cast<std::size_t>(e - d.count), '0');
        } else {
            out.append(d.digits, static_cast<std::size_t>(e));
            out.push_back('.');
            out.append(d.digits + e, static_cast<std::size_t>(d.count - e));
        }
        return;
    }
    out.push_back(d.digits[0]);
    if (d.count > 1) {
        out.push_back('.');
        out.append(d.digits + 1, static_cast<std::size_t>(d.count - 1));
    }
    out.push_back('E');
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, e - 1);
    out.append(buffer, result.ptr);
}

} // namespace

void appendDxfReal(std::string &out, long double value)
{
    // A non-finite value has no DXF spelling; the callers keep them out of the document, and
    // should one slip through, a zero keeps the file readable rather than printing "nan".
    if (value == 0 || !std::isfinite(value)) {
        out.push_back('0');
        return;
    }
    const bool negative = std::signbit(value);
    const long double magnitude = negative ? -value : value;
    if (magnitude < 1E15L && magnitude == std::floor(magnitude)) {
        // Whole numbers below 10^15 have at most 15 digits and print as they are; knots and
        // the extrusion direction are mostly 1.
        if (negative)
            out.push_back('-');
        char digits[24];
        const auto result =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(magnitude));
        out.append(digits, result.ptr);
        return;
    }
    const auto asDouble = static_cast<double>(magnitude);
    Decimal d;
    if (static_cast<long double>(asDouble) == magnitude) {
        const auto bits = std::bit_cast<std::uint64_t>(asDouble);
        const int biased = static_cast<int>(bits >> 52);
        std::uint64_t mantissa = bits & ((std::uint64_t { 1 } << 52) - 1);
        int exponent2;
        if (biased == 0) {
            exponent2 = -1074;
        } else {
            mantissa |= std::uint64_t { 1 } << 52;
            exponent2 = biased - 1075;
        }
        const int zeros = std::countr_zero(mantissa);
        mantissa >>= zeros;
        exponent2 += zeros;
        if (!roundFast(mantissa, exponent2, d))
            d = roundGeneral(asDouble);
    } else {
        // Extended values that are no doubles are rare but repeat (the spline tolerances), and
        // their general path is slow; the last one is remembered per thread.
        thread_local long double lastValue = 0;
        thread_local Decimal lastDecimal;
        if (magnitude != lastValue) {
            lastDecimal = roundGeneral(magnitude);
            lastValue = magnitude;
        }
        d = lastDecimal;
    }
    layOut(out, negative, d);
}

std::string formatDxfReal(long double value)
{
    std::string out;
    appendDxfReal(out, value);
    return out;
}
