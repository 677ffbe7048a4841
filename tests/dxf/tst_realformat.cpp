#include "dxf/RealFormat.h"
#include "support/TestSupport.h"

#include <atomic>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Reference: the exact decimal expansion of a double (to_chars with more digits than any
// double has), rounded half up to 15 significant digits by hand, as "d.ddd...e±x".
std::string referenceScientific(double magnitude)
{
    std::vector<char> buffer(2000);
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
        std::chars_format::scientific, 800);
    std::string text(buffer.data(), result.ptr);
    const auto ePos = text.find('e');
    int exponent = std::stoi(text.substr(ePos + 1));
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] != '.')
            digits.push_back(text[i]);
    std::string kept = digits.substr(0, 15);
    if (digits[15] >= '5') {
        int i = 14;
        while (i >= 0 && kept[static_cast<std::size_t>(i)] == '9')
            kept[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            kept = "1" + kept.substr(0, 14);
            ++exponent;
        } else {
            ++kept[static_cast<std::size_t>(i)];
        }
    }
    return kept.substr(0, 1) + "." + kept.substr(1) + "e" + std::to_string(exponent);
}

// The format as it was computed before the integer path existed: seventeen correctly rounded
// digits from std::to_chars, and the full exact expansion where digits 16 and 17 read "50" and
// so leave the exact value on either side of the midpoint. Laid out by the exponent rule.
std::string seventeenDigitReference(double v)
{
    if (v == 0 || !std::isfinite(v))
        return "0";
    char text[40];
    const char *end =
        std::to_chars(text, text + sizeof text, std::fabs(v), std::chars_format::scientific, 16)
            .ptr;
    std::string digits = text[0] + std::string(text + 2, 16);
    int exponent = std::stoi(std::string(static_cast<const char *>(text) + 19, end));
    bool up = digits[15] >= '5';
    if (digits[15] == '5' && digits[16] == '0') {
        char exact[800];
        std::to_chars(
            exact, exact + sizeof exact, std::fabs(v), std::chars_format::scientific, 770);
        up = exact[16] >= '5';
    }
    digits.resize(15);
    if (up) {
        int i = 14;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
            digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            digits = "1" + digits.substr(0, 14);
            ++exponent;
        } else {
            ++digits[static_cast<std::size_t>(i)];
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const std::size_t count = digits.size();
    std::string out = v < 0 ? "-" : "";
    const int e = exponent + 1;
    if (e >= -3 && e <= 15) {
        if (e <= 0)
            return out + "0." + std::string(static_cast<std::size_t>(-e), '0') + digits;
        const auto whole = static_cast<std::size_t>(e);
        if (count <= whole)
            return out + digits + std::string(whole - count, '0');
        return out + digits.substr(0, whole) + "." + digits.substr(whole);
    }
    out += digits.substr(0, 1);
    if (count > 1)
        out += "." + digits.substr(1);
    return out + "E" + std::to_string(e - 1);
}

double parse(const std::string &text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

TEST(RealFormat, ZerosAreWrittenAsPlainZero)
{
    EXPECT_EQ(formatDxfReal(0.0L), "0");
    EXPECT_EQ(formatDxfReal(-0.0L), "0");
    EXPECT_EQ(formatDxfReal(static_cast<long double>(-0.0f)), "0");
}

TEST(RealFormat, PlainNotationBetweenExponentsMinus3And15)
{
    EXPECT_EQ(formatDxfReal(0.0001L), "0.0001");
    EXPECT_EQ(formatDxfReal(5), "5");
    EXPECT_EQ(formatDxfReal(2.25), "2.25");
    EXPECT_EQ(formatDxfReal(120), "120");
    EXPECT_EQ(formatDxfReal(0.5), "0.5");
    EXPECT_EQ(formatDxfReal(-0.25), "-0.25");
    EXPECT_EQ(formatDxfReal(123456789012345.0), "123456789012345");
    EXPECT_EQ(formatDxfReal(100000000000000.0), "100000000000000");
    EXPECT_EQ(formatDxfReal(999999999999999.0), "999999999999999");
    EXPECT_EQ(formatDxfReal(0.00099), "0.00099");
}

TEST(RealFormat, ScientificNotationOutsideThatRange)
{
    EXPECT_EQ(formatDxfReal(0.00001L), "1E-5");
    EXPECT_EQ(formatDxfReal(1E-7L), "1E-7");
    EXPECT_EQ(formatDxfReal(1E15), "1E15");
    EXPECT_EQ(formatDxfReal(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(formatDxfReal(-2.5E20), "-2.5E20");
    EXPECT_EQ(formatDxfReal(1E300), "1E300");
    EXPECT_EQ(formatDxfReal(4.9406564584124654E-324), "4.94065645841247E-324");
    EXPECT_EQ(formatDxfReal(0.000099), "9.9E-5");
}

TEST(RealFormat, PrintsTheExactValueOfA32BitFloat)
{
    EXPECT_EQ(formatDxfReal(0.1f), "0.100000001490116");
    EXPECT_EQ(formatDxfReal(1.0f / 12.0f), "0.0833333358168602");
    EXPECT_EQ(formatDxfReal(2.0f * (1.0f / 12.0f)), "0.16666667163372");
    EXPECT_EQ(formatDxfReal(static_cast<float>(10.0L * 25.39995L / 72.0L)), "3.52777075767517");
    EXPECT_EQ(formatDxfReal(-static_cast<float>(20.0L * 25.39995L / 72.0L)), "-7.05554151535034");
}

TEST(RealFormat, ExactTiesRoundHalfUpAndCarriesMoveTheExponent)
{
    // 1000000000000005 is a double exactly; half-even would give 1E15.
    EXPECT_EQ(formatDxfReal(1000000000000005.0), "1.00000000000001E15");
    EXPECT_EQ(formatDxfReal(1000000000000015.0), "1.00000000000002E15");
    EXPECT_EQ(formatDxfReal(9999999999999995.0), "1E16");
    // 0.9999999999999995 lies just below the tie in binary: it rounds down.
    EXPECT_EQ(formatDxfReal(0.9999999999999995), "0.999999999999999");
    EXPECT_EQ(formatDxfReal(0.99999999999999995), "1");
}

TEST(RealFormat, ExtendedValuesThatAreNoDoubles)
{
    const long double third = 1.0L / 3.0L;
    EXPECT_EQ(formatDxfReal(third), "0.333333333333333");
    EXPECT_EQ(formatDxfReal(1E-4000L), "1E-4000");
}

TEST(RealFormat, NonFiniteValuesNeverReachTheTextAsNan)
{
    EXPECT_EQ(formatDxfReal(NAN), "0");
    EXPECT_EQ(formatDxfReal(INFINITY), "0");
}

TEST(RealFormat, AgreesWithTheExactExpansionOverRandomValues)
{
    // The fast integer path and the general path must both give the half-up rounding of the
    // exact binary value, for floats (what figures hold) and for doubles of any exponent.
    std::mt19937_64 random(12345);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::uniform_int_distribution<int> exponent(-60, 60);
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    for (int i = 0; i < 60000; ++i) {
        double value;
        if (i % 3 == 0) {
            value = std::bit_cast<double>(bits(random) & 0x7FFFFFFFFFFFFFFFull);
            if (!std::isfinite(value) || value == 0)
                continue;
        } else if (i % 3 == 1) {
            value = static_cast<float>(unit(random) * std::pow(10.0, exponent(random)));
        } else {
            value = unit(random) * std::pow(10.0, exponent(random) / 4);
        }
        if (value == 0 || !std::isfinite(value))
            continue;
        const std::string text = formatDxfReal(value);
        ASSERT_EQ(parse(text), parse(referenceScientific(value))) << text;
        ASSERT_EQ(formatDxfReal(-value), "-" + text);
        ASSERT_EQ(text.find_first_of("e,+"), std::string::npos) << text;
    }
}

TEST(RealFormat, IntegerPathAgreesWithTheSeventeenDigitFormatOnMillionsOfValues)
{
    // The integer path decides the rounding from the bits below the 15th digit and corrects its
    // estimate of the decimal exponent; both can go wrong at power-of-ten boundaries, at exact
    // binary halves and at decimal halves that a double only approximates. Every kind of value
    // is compared with the older, independent computation.
    std::mt19937_64 random(20261209);
    std::vector<double> values;
    values.reserve(3'300'000);
    // Every magnitude, from random bit patterns.
    for (int i = 0; i < 1'000'000; ++i) {
        const double v = std::bit_cast<double>(random());
        if (std::isfinite(v))
            values.push_back(v);
    }
    // Coordinates as both exports make them: pixels over the scale divisors in use, as doubles
    // (CNC) and as floats (splines), and bulges of arcs up to a half circle.
    const double divisors[] = { 72 / 25.39995, 300 / 25.39995, 600 / 25.39995, 64, 96, 72,
        2400 / 25.39995, 1 / 25.39995 };
    std::uniform_real_distribution<double> pixel(-20000, 20000);
    std::uniform_real_distribution<double> angle(0, 1.57);
    for (int i = 0; i < 1'000'000; ++i) {
        const double v = pixel(random) / divisors[i % std::size(divisors)];
        values.push_back(i % 3 == 0 ? static_cast<float>(v) : v);
        if (i % 4 == 0)
            values.push_back(std::tan(angle(random) / 4));
    }
    // Decimal halves: 16-digit decimals ending in 5 and their neighbours.
    std::uniform_int_distribution<std::int64_t> mantissa(100000000000000, 999999999999999);
    std::uniform_int_distribution<int> exponent(-20, 20);
    for (int i = 0; i < 200'000; ++i) {
        const std::string text =
            std::to_string(mantissa(random)) + "5e" + std::to_string(exponent(random));
        const double v = parse(text);
        values.push_back(v);
        values.push_back(std::nextafter(v, 0.0));
        values.push_back(-std::nextafter(v, 1e300));
    }
    // Exact binary halves of the 16th digit: n + 0.5 with n of fifteen digits.
    for (int i = 0; i < 100'000; ++i)
        values.push_back(static_cast<double>(mantissa(random)) + 0.5);
    // Powers of ten and the doubles next to them, where the exponent estimate is corrected and
    // where rounding carries into a new leading digit.
    for (int e = -330; e <= 308; ++e) {
        const double v = parse("1e" + std::to_string(e));
        const double nines = parse("9.999999999999995e" + std::to_string(e));
        for (const double w : { v, nines }) {
            double lower = w, upper = w;
            for (int step = 0; step < 8; ++step) {
                values.push_back(lower);
                values.push_back(upper);
                lower = std::nextafter(lower, 0.0);
                upper = std::nextafter(upper, 1e308);
            }
        }
    }

    int mismatches = 0;
    char text[MaxDxfRealLength];
    for (const double v : values) {
        const std::string fast(text, writeDxfDouble(text, v));
        if (fast != seventeenDigitReference(v) && ++mismatches < 10)
            ADD_FAILURE() << std::hexfloat << v << ": " << fast
                          << " != " << seventeenDigitReference(v);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(values.size(), 2'900'000u);
}

TEST(RealFormat, CommaLocaleStillUsesThePoint)
{
    linovex::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(formatDxfReal(2.25), "2.25");
    EXPECT_EQ(formatDxfReal(1234567890123456.0), "1.23456789012346E15");
}

TEST(RealFormat, LocaleSwitchedByAnotherThreadChangesNothing)
{
    std::vector<double> values;
    std::vector<std::string> expected;
    for (int i = 1; i < 20000; ++i) {
        values.push_back(static_cast<float>(i * 0.37) - 1000.0);
        expected.push_back(formatDxfReal(values.back()));
    }
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::atomic<bool> done { false };
    std::thread switcher([&done] {
        while (!done) {
            std::setlocale(LC_ALL, "de_DE.UTF-8");
            std::setlocale(LC_ALL, "C");
        }
    });
    for (int round = 0; round < 5; ++round)
        for (std::size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(formatDxfReal(values[i]), expected[i]);
    done = true;
    switcher.join();
    std::setlocale(LC_ALL, previous.c_str());
}
