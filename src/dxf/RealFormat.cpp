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

// A magnitude rounded to 15 significant digits: the digits as the integer
// 10^14 <= digits < 10^15 and the decimal exponent e such that the value is 0.d1d2...d15 x 10^e.
// Two registers' worth, so it is handed back without going through memory.
struct Rounded
{
    std::uint64_t digits = 0;
    int exponent = 0;
};

// All nines rounded up give 10^15: one digit more, so the exponent grows instead.
Rounded carry(Rounded r)
{
    if (r.digits == Pow10_15)
        return { Pow10_14, r.exponent + 1 };
    return r;
}

// 10^-13 to 10^15 as doubles; the negative powers are rounded, which the correction in
// roundFast() takes care of.
constexpr double Pow10Double[] = { 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4,
    1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13,
    1e14, 1e15 };
constexpr int Pow10DoubleFirst = -13;

// The common case: 1E-13 <= magnitude < 1E15 and a normal double, value = m * 2^e2 with a 53-bit
// m. Then v * 10^k for k = 14 - floor(log10 v) lies in [10^14, 10^15) and equals
// m * 5^k * 2^(e2 + k), whose product m * 5^k fits 128 bits for k <= 27. Its integer part and
// the bit below it give the half-up rounding on the exact binary value without any division.
bool roundFast(double magnitude, Rounded &out)
{
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    if (biased == 0)
        return false;
    const std::uint64_t m =
        (bits & ((std::uint64_t { 1 } << 52) - 1)) | (std::uint64_t { 1 } << 52);
    const int e2 = biased - 1075;
    // floor(log10 2^p) for the binary exponent p; floor(log10 v) is that or one more, which a
    // comparison with the power of ten decides without a branch.
    const int estimate = ((e2 + 52) * 78913) >> 18;
    const int index = estimate + 1 - Pow10DoubleFirst;
    if (index < 0 || index >= static_cast<int>(std::size(Pow10Double)))
        return false;
    int k = SignificantDigits - 1 - estimate
        - (magnitude >= Pow10Double[static_cast<std::size_t>(index)] ? 1 : 0);
    // Near a negative power of ten the rounded power can put the value on the wrong side; the
    // integer part then falls outside [10^14, 10^15) and the next k is taken.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (k < 0 || k >= static_cast<int>(Pow5.size()))
            return false;
        const u128 product = static_cast<u128>(m) * Pow5[static_cast<std::size_t>(k)];
        const int shift = e2 + k;
        std::uint64_t whole;
        std::uint64_t roundUp = 0;
        if (shift >= 0) {
            // v * 10^k is a whole number below 2^54 here, so nothing is lost.
            whole = static_cast<std::uint64_t>(product << shift);
        } else if (shift > -128) {
            // The first bit below the integer part is set exactly when the fraction is at least
            // one half.
            const auto halves = static_cast<std::uint64_t>(product >> (-shift - 1));
            whole = halves >> 1;
            roundUp = halves & 1;
        } else {
            return false;
        }
        if (whole >= Pow10_15) {
            --k;
            continue;
        }
        if (whole < Pow10_14) {
            ++k;
            continue;
        }
        out = carry({ whole + roundUp, SignificantDigits - k });
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
template <typename Real> Rounded roundGeneral(Real magnitude)
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
    return carry({ kept, exponent + 1 });
}

// Eight decimal digits of x < 10^8 as eight characters in one word, the first digit in the lowest
// byte, so that storing the word writes them in reading order. The halves, quarters and single
// digits are split in all lanes at once with multiplications that divide exactly in range.
std::uint64_t eightDigits(std::uint32_t x)
{
    std::uint64_t v = (x / 10'000) | (static_cast<std::uint64_t>(x % 10'000) << 32);
    const std::uint64_t hundreds = ((v * 10486) >> 20) & 0x0000'007F'0000'007F;
    v = hundreds | ((v - hundreds * 100) << 16);
    const std::uint64_t tens = ((v * 103) >> 10) & 0x000F'000F'000F'000F;
    return tens | ((v - tens * 10) << 8);
}

void store16(char *out, u128 text)
{
    std::memcpy(out, &text, 16);
}

// Lays out the rounded digits by the exponent rule. The fifteen digits are made as the values 0
// to 9 in the bytes of one 128-bit word, so trailing zeros are zero bytes at its top end, and
// are written with whole-word stores that may run past the text: the caller's buffer has room.
char *layOut(char *out, bool negative, Rounded r)
{
    const auto high = static_cast<std::uint32_t>(r.digits / 100'000'000);
    const auto low = static_cast<std::uint32_t>(r.digits % 100'000'000);
    // The high part has seven digits: its word starts with a zero, shifted out here.
    const u128 values = (static_cast<u128>(eightDigits(low)) << 56) | (eightDigits(high) >> 8);
    const int zeroBytes = (std::countl_zero(static_cast<std::uint64_t>(values >> 64)) == 64
                                  ? 64 + std::countl_zero(static_cast<std::uint64_t>(values))
                                  : std::countl_zero(static_cast<std::uint64_t>(values >> 64)))
        / 8;
    // Byte 15 is always zero; the leading digit never is.
    const int count = 16 - zeroBytes;
    constexpr u128 Zeros = static_cast<u128>(0x3030'3030'3030'3030) << 64 | 0x3030'3030'3030'3030;
    const u128 text = values + Zeros;

    if (negative)
        *out++ = '-';
    const int e = r.exponent;
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            std::memcpy(out, "0.000", 5);
            store16(out + 2 - e, text);
            return out + 2 - e + count;
        }
        // The characters beyond the significant digits are zeros, so a whole number takes the
        // first e of them as they stand.
        store16(out, text);
        if (count <= e)
            return out + e;
        store16(out + e + 1, text >> (8 * e));
        out[e] = '.';
        return out + count + 1;
    }
    out[0] = static_cast<char>(text);
    if (count > 1) {
        out[1] = '.';
        store16(out + 2, text >> 8);
        out += count + 1;
    } else {
        ++out;
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
    Rounded r;
    if (!roundFast(magnitude, r))
        r = roundGeneral(magnitude);
    return layOut(out, negative, r);
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
    thread_local Rounded lastRounded;
    const bool negative = std::signbit(value);
    const long double magnitude = negative ? -value : value;
    if (magnitude != lastValue) {
        lastRounded = roundGeneral(magnitude);
        lastValue = magnitude;
    }
    char text[MaxDxfRealLength];
    out.append(text, layOut(text, negative, lastRounded));
}

std::string formatDxfReal(long double value)
{
    std::string out;
    appendDxfReal(out, value);
    return out;
}
