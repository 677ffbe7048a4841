#include "export/DxfNumber.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr int SignificantDigits = 15;

// The magnitude's first 15 significant digits, rounded half up on the exact binary value, and its
// decimal exponent: magnitude ~ digits[0].digits[1..14] x 10^exponent.
//
// Seventeen correctly rounded digits decide the rounding: they differ from the exact value by at
// most half a unit of the 17th digit, so digits 16 and 17 reading 51 or more mean the exact tail
// is at least half a unit of the 15th digit, and 49 or less mean it is below. Only "50" leaves the
// exact value on either side of the midpoint; then the full exact expansion (767 significant
// digits hold every double) decides. A carry out of the 17th digit shows up as a rounded-up 15th
// digit and is handled alike.
int roundedDigits(double magnitude, char *digits)
{
    char text[32];
    const char *end =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 16).ptr;
    // text: d.dddddddddddddddde[+-]XX
    char seventeen[17];
    seventeen[0] = text[0];
    std::memcpy(seventeen + 1, text + 2, 16);
    int exponent = 0;
    const char *e = text + 19;
    std::from_chars(e + (*e == '+' ? 1 : 0), end, exponent);

    bool roundUp;
    if (seventeen[15] == '5' && seventeen[16] == '0') {
        char exact[800];
        std::to_chars(exact, exact + sizeof exact, magnitude, std::chars_format::scientific, 770);
        // exact: d.ddd...; the 16th significant digit stands at index 16.
        roundUp = exact[16] >= '5';
    } else {
        roundUp = seventeen[15] >= '5';
    }
    std::memcpy(digits, seventeen, SignificantDigits);
    if (roundUp) {
        int i = SignificantDigits - 1;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            ++exponent;
        }
    }
    return exponent;
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
    char digits[SignificantDigits];
    const int x = roundedDigits(std::fabs(value), digits);
    int count = SignificantDigits;
    while (count > 1 && digits[count - 1] == '0')
        --count;

    char text[40];
    char *p = text;
    if (value < 0)
        *p++ = '-';
    if (x >= -4 && x <= 14) {
        if (x >= 0) {
            for (int i = 0; i <= x; ++i)
                *p++ = i < count ? digits[i] : '0';
            if (count > x + 1) {
                *p++ = '.';
                for (int i = x + 1; i < count; ++i)
                    *p++ = digits[i];
            }
        } else {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -x - 1; ++i)
                *p++ = '0';
            for (int i = 0; i < count; ++i)
                *p++ = digits[i];
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            for (int i = 1; i < count; ++i)
                *p++ = digits[i];
        }
        *p++ = 'E';
        if (x < 0)
            *p++ = '-';
        p = std::to_chars(p, text + sizeof text, x < 0 ? -x : x).ptr;
    }
    out.append(text, p);
}

std::string dxfNumber(double value)
{
    std::string text;
    appendDxfNumber(text, value);
    return text;
}
