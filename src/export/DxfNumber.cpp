#include "export/DxfNumber.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <system_error>

namespace {

constexpr int SignificantDigits = 15;

// The significant digits and the decimal exponent of a number written by std::to_chars in
// scientific form: value = digits[0].digits[1...] x 10^exponent.
struct Decimal
{
    std::array<char, 1100> digits {};
    int count = 0;
    int exponent = 0;
};

// Reads "d.ddddde+XX" (without sign) into its digits and exponent.
void parseScientific(std::string_view text, Decimal &out)
{
    out.count = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] != '.')
            out.digits[out.count++] = text[i];
    }
    int exponent = 0;
    std::from_chars(
        text.data() + i + (text[i + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
    out.exponent = exponent;
}

// Writes the positive magnitude `|value|` as scientific text with `precision` digits after the
// point, correctly rounded from the exact binary value.
std::string_view toScientific(double magnitude, int precision, char *buffer, std::size_t size)
{
    const auto result =
        std::to_chars(buffer, buffer + size, magnitude, std::chars_format::scientific, precision);
    return { buffer, static_cast<std::size_t>(result.ptr - buffer) };
}

// The first 15 significant digits of `magnitude`, rounded half up on the exact value.
void roundedDigits(double magnitude, Decimal &out)
{
    char buffer[1100];
    // A normal number whose shortest round-trip representation has 15 digits or fewer is that
    // representation: the exact value lies within half a unit in the last place of a double,
    // which is far less than half a unit in the 15th digit, so rounding cannot move it.
    // Subnormal numbers carry fewer bits, so their shortest representation may be coarser.
    if (magnitude >= std::numeric_limits<double>::min()) {
        const auto shortest =
            std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
        parseScientific({ buffer, static_cast<std::size_t>(shortest.ptr - buffer) }, out);
        if (out.count <= SignificantDigits)
            return;
    }

    // Seventeen correctly rounded digits decide the rounding unless digits 16 and 17 read "50":
    // the exact value then lies within half a unit of the 17th digit of the midpoint and may be
    // on either side of it. Only that case needs the full exact expansion.
    parseScientific(toScientific(magnitude, 16, buffer, sizeof buffer), out);
    bool roundUp;
    if (out.digits[15] == '5' && out.digits[16] == '0') {
        // 767 significant digits hold every double exactly.
        parseScientific(toScientific(magnitude, 770, buffer, sizeof buffer), out);
        roundUp = out.digits[15] >= '5';
    } else {
        roundUp = out.digits[15] >= '5';
    }
    out.count = SignificantDigits;
    if (!roundUp)
        return;
    int i = SignificantDigits - 1;
    while (i >= 0 && out.digits[i] == '9')
        out.digits[i--] = '0';
    if (i >= 0) {
        ++out.digits[i];
    } else {
        out.digits[0] = '1';
        ++out.exponent;
    }
}

} // namespace

void appendDxfNumber(std::string &out, double value)
{
    // A value that is not a finite number never belongs in a file a machine cuts from; the export
    // filters such values out before they get here, and this keeps the function total.
    if (value == 0 || !std::isfinite(value)) {
        out += '0';
        return;
    }
    Decimal d;
    roundedDigits(std::fabs(value), d);
    while (d.count > 1 && d.digits[d.count - 1] == '0')
        --d.count;

    if (value < 0)
        out += '-';
    const int x = d.exponent;
    if (x >= -4 && x <= 14) {
        if (x >= 0) {
            for (int i = 0; i <= x; ++i)
                out += i < d.count ? d.digits[i] : '0';
            if (d.count > x + 1) {
                out += '.';
                out.append(d.digits.data() + x + 1, d.count - x - 1);
            }
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-x - 1), '0');
            out.append(d.digits.data(), d.count);
        }
        return;
    }
    out += d.digits[0];
    if (d.count > 1) {
        out += '.';
        out.append(d.digits.data() + 1, d.count - 1);
    }
    out += 'E';
    if (x < 0)
        out += '-';
    char exponent[8];
    const auto r = std::to_chars(exponent, exponent + sizeof exponent, std::abs(x));
    out.append(exponent, r.ptr);
}

std::string dxfNumber(double value)
{
    std::string text;
    appendDxfNumber(text, value);
    return text;
}
