#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>
#include <compare>
#include <cstdint>
#include <optional>

// An amount of money: a signed 64-bit count of ten-thousandths. Arithmetic is
// exact on that scale and never goes through double. Rounding is always half
// away from zero: the sign is set aside, the magnitude rounded with an exact
// half going up, and the sign put back.
class Currency {
public:
  static constexpr std::int64_t Scale = 10000;

  constexpr Currency() = default;
  static constexpr Currency FromRaw(std::int64_t tenThousandths) { return Currency(tenThousandths); }
  static constexpr Currency FromUnits(std::int64_t units) { return Currency(units * Scale); }
  static constexpr Currency FromCents(std::int64_t cents) { return Currency(cents * 100); }
  // The nearest ten-thousandth (half away from zero). For values that arrive as
  // binary floating point from outside (a float column, a JSON number).
  // Throws EZurError for NaN, infinities and values out of range.
  static Currency FromDouble(double value);

  // Reads "1234,56", "-0,5", "1234.56", "+7" (blanks around are ignored).
  // More than four decimals are rounded half away from zero. Returns nullopt
  // for anything else: empty text, thousands separators, letters, overflow.
  static std::optional<Currency> Parse(QStringView text);

  constexpr std::int64_t raw() const { return m_value; }
  double toDouble() const { return static_cast<double>(m_value) / Scale; }

  // Rounded half away from zero to 0..4 decimals.
  Currency Round(int decimals) const;
  // The whole-unit value: Round(0) as an integer.
  std::int64_t ToInteger() const { return Round(0).m_value / Scale; }

  // Italian text: decimal comma, no thousands separator. decimals < 0 gives
  // the shortest exact form ("1234,5", "7"); otherwise exactly that many
  // decimals after rounding half away from zero.
  QString ToString(int decimals = -1) const;

  // amount x rate / 100 to the nearest ten-thousandth (half away from zero);
  // a rate of exactly 100 returns the amount unchanged.
  Currency Percent(double rate) const;

  constexpr Currency operator-() const { return Currency(-m_value); }
  constexpr Currency operator+(Currency o) const { return Currency(m_value + o.m_value); }
  constexpr Currency operator-(Currency o) const { return Currency(m_value - o.m_value); }
  constexpr Currency operator*(std::int64_t n) const { return Currency(m_value * n); }
  Currency& operator+=(Currency o) { m_value += o.m_value; return *this; }
  Currency& operator-=(Currency o) { m_value -= o.m_value; return *this; }
  constexpr auto operator<=>(const Currency&) const = default;
  constexpr bool IsZero() const { return m_value == 0; }

private:
  constexpr explicit Currency(std::int64_t v) : m_value(v) {}
  std::int64_t m_value = 0;
};

Q_DECLARE_METATYPE(Currency)
