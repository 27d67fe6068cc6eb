#include "dataset/Currency.h"

#include "platform/ZurError.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

__extension__ typedef __int128 Int128;

constexpr std::int64_t kPow10[] = {1, 10, 100, 1000, 10000};

// Divides a non-negative magnitude by 10^digits, an exact half going up.
Int128 DivRoundHalfUp(Int128 magnitude, Int128 divisor) {
  Int128 q = magnitude / divisor;
  const Int128 r = magnitude % divisor;
  if (r * 2 >= divisor) ++q;
  return q;
}

Int128 DivRoundAwayFromZero(Int128 value, Int128 divisor) {
  const bool negative = value < 0;
  const Int128 q = DivRoundHalfUp(negative ? -value : value, divisor);
  return negative ? -q : q;
}

std::int64_t Checked(Int128 v) {
  if (v > std::numeric_limits<std::int64_t>::max() || v < std::numeric_limits<std::int64_t>::min())
    throw EZurError(QStringLiteral("Importo fuori dai limiti consentiti."));
  return static_cast<std::int64_t>(v);
}

} // namespace

Currency Currency::FromDouble(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.2e14)
    throw EZurError(QStringLiteral("Importo non valido: %1").arg(value));
  // Go through the shortest decimal text of the double, so that 0.1 stays
  // 0.1000 instead of inheriting the binary error of 0.1 * 10000.
  const QString shortest = QString::number(value, 'f', QLocale::FloatingPointShortest);
  if (auto c = Parse(shortest)) return *c;
  return Currency(static_cast<std::int64_t>(std::llround(value * Scale)));
}

std::optional<Currency> Currency::Parse(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty()) return std::nullopt;
  qsizetype i = 0;
  bool negative = false;
  if (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')) {
    negative = text[0] == QLatin1Char('-');
    ++i;
  }
  Int128 whole = 0;
  int wholeDigits = 0;
  while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
    whole = whole * 10 + (text[i].unicode() - '0');
    if (whole > std::numeric_limits<std::int64_t>::max() / Scale) return std::nullopt;
    ++wholeDigits;
    ++i;
  }
  Int128 frac = 0;
  int fracDigits = 0;
  bool roundUp = false;
  if (i < text.size() && (text[i] == QLatin1Char(',') || text[i] == QLatin1Char('.'))) {
    ++i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
      const int d = text[i].unicode() - '0';
      if (fracDigits < 4) {
        frac = frac * 10 + d;
      } else if (fracDigits == 4) {
        roundUp = d >= 5;
      }
      ++fracDigits;
      ++i;
    }
  }
  if (i != text.size() || (wholeDigits == 0 && fracDigits == 0)) return std::nullopt;
  for (int k = std::min(fracDigits, 4); k < 4; ++k) frac *= 10;
  Int128 v = whole * Scale + frac + (roundUp ? 1 : 0);
  if (negative) v = -v;
  return Currency(static_cast<std::int64_t>(v));
}

Currency Currency::Round(int decimals) const {
  if (decimals >= 4) return *this;
  if (decimals < 0) decimals = 0;
  const std::int64_t unit = kPow10[4 - decimals];
  return Currency(Checked(DivRoundAwayFromZero(m_value, unit) * unit));
}

QString Currency::ToString(int decimals) const {
  const Currency v = decimals >= 0 ? Round(decimals) : *this;
  const bool negative = v.m_value < 0;
  const unsigned long long mag =
      negative ? 0ULL - static_cast<unsigned long long>(v.m_value) : static_cast<unsigned long long>(v.m_value);
  QString out = QString::number(mag / Scale);
  QString frac = QStringLiteral("%1").arg(mag % Scale, 4, 10, QLatin1Char('0'));
  if (decimals < 0) {
    while (frac.endsWith(QLatin1Char('0'))) frac.chop(1);
  } else {
    frac.truncate(std::min(decimals, 4));
    while (frac.size() < decimals) frac += QLatin1Char('0');
  }
  if (!frac.isEmpty()) out += QLatin1Char(',') + frac;
  if (negative && v.m_value != 0) out.prepend(QLatin1Char('-'));
  return out;
}

Currency Currency::Percent(double rate) const {
  if (rate == 100.0) return *this;
  // The rate is taken at the precision it was written with (8.5, 4.25, ...),
  // in ten-thousandths, so the product stays exact in 128-bit integers.
  const Currency scaledRate = FromDouble(rate);
  const Int128 product = static_cast<Int128>(m_value) * scaledRate.m_value;
  return Currency(Checked(DivRoundAwayFromZero(product, static_cast<Int128>(Scale) * 100)));
}
