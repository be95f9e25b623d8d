// The reader and writer against C's own conversions in the C locale, and unmoved by a locale
// that writes a decimal comma.
#include "formats/numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace formats {
namespace {

std::string c_format(const char* format, double value) {
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Values that printf rounds at a tie, that need many digits, or that are not numbers at all,
// then random bit patterns and random values of the sizes the programs print.
std::vector<double> test_values() {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.5,
                                  0.125,
                                  2.5,
                                  1e-17,
                                  0.8308861181319003,
                                  -0.0033368334897299,
                                  1.0 / 3.0,
                                  1e300,
                                  -1e-300,
                                  5e-324,
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 engine(20261208);
    for (int i = 0; i < 4000; ++i) {
        values.push_back(std::bit_cast<double>(engine()));
    }
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 6);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(unit(engine) * std::pow(10.0, exponent(engine)));
    }
    return values;
}

TEST(NumberWriter, SameBytesAsPrintfInTheCLocale) {
    for (const double v : test_values()) {
        ASSERT_EQ(fixed(v, 16, 20), c_format("%20.16f", v)) << v;
        ASSERT_EQ(fixed(v, 16, 25), c_format("%25.16f", v)) << v;
        ASSERT_EQ(fixed(v, 1), c_format("%.1f", v)) << v;
        ASSERT_EQ(general(v, 17), c_format("%.17g", v)) << v;
        ASSERT_EQ(general(v, 6), c_format("%g", v)) << v;
        ASSERT_EQ(scientific(v, 4), c_format("%.4e", v)) << v;
    }
}

TEST(NumberReader, FrontOfATextAsStrtodAndAtoiRead) {
    std::vector<std::string> texts = {
        "  0.8308861181319003]", "\t-1.5e3x", "+.5", "-", "", ".", "e5", "1e", "1e+", "1e-400",
        "-1e-400", "1e400", "-1e999]", "0.000000000000000000000000000000001e-300", "123456789e300",
        "0x1p3", "0x", "0x.8", "0xg", "0x1p99999",
        // Exponents at and beyond the ends of 64 bits.
        "1.E0009223372036854775807", "0.001e-9223372036854775808", "1e-99999999999999999999",
        "1e99999999999999999999", "0x1p-99999999999999999999", "inf", "-Infinity", "nan",
        "NAN(123)z", "  12abc", "\v\f\r\n7", "3,5", "00012", "1.5.5"};
    std::mt19937_64 engine(7);
    for (int i = 0; i < 2000; ++i) {
        texts.push_back(general(std::bit_cast<double>(engine()), 17) + "]");
    }
    for (const std::string& text : texts) {
        char* end = nullptr;
        const double expected = std::strtod(text.c_str(), &end);
        double value = -1.0;
        const size_t read = leading_number(text, value);
        ASSERT_EQ(read, static_cast<size_t>(end - text.c_str())) << text;
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(value)) << text;
        } else {
            ASSERT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(expected)) << text;
        }
    }
    for (const char* text : {"42", "  -7,", "+3", "x", "", "2147483648", "-9999999999999999999999",
                             "99999999999999999999", "4294967297"}) {
        EXPECT_EQ(leading_integer(text), static_cast<int32_t>(std::strtol(text, nullptr, 10)))
            << text;
    }
}

TEST(NumberReader, WholeTextOnly) {
    double value = 0.0;
    EXPECT_TRUE(parse_number("+2", value));
    EXPECT_EQ(value, 2.0);
    EXPECT_TRUE(parse_number("-1e-4", value));
    EXPECT_EQ(value, -1e-4);
    for (const char* text : {"", "0,5", "1 ", " 1", "+-1", "1e999", "0x10"}) {
        EXPECT_FALSE(parse_number(text, value)) << text;
    }
    uint32_t whole = 0;
    EXPECT_TRUE(parse_whole("4000000000", whole));
    EXPECT_FALSE(parse_whole("-1", whole));
    EXPECT_FALSE(parse_whole("4294967296", whole));
}

// The C library follows a decimal-comma locale once a program sets it (QApplication does);
// the reader and writer must not.
TEST(Numbers, UnmovedByADecimalCommaLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    }
    const std::string comma = c_format("%.1f", 0.5);
    double value = 0.0;
    const bool read = parse_number("0.25", value);
    const size_t front = leading_number("  0.75]", value);
    const std::string written = fixed(-0.5, 16, 20) + general(0.1, 17) + scientific(1.5, 4);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(comma, "0,5");
    EXPECT_TRUE(read);
    EXPECT_EQ(front, 6u);
    EXPECT_EQ(value, 0.75);
    EXPECT_EQ(written, " -0.5000000000000000" + std::string("0.10000000000000001") + "1.5000e+00");
}

}  // namespace
}  // namespace formats
