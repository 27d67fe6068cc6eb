#pragma once

#include "dataset/Currency.h"

#include <QString>

// Rounding and percentages of the payroll family, on exact amounts.
class TNymCalcola {
public:
  // Half away from zero to 0 or 2 decimals (any of 0..4 is accepted).
  static Currency Arrotonda(Currency amount, int decimals);
  // amount x rate / 100 at four decimals; a rate of exactly 100 gives the
  // amount unchanged.
  static Currency Percentuale(Currency amount, double rate);
  // Arrotonda(Percentuale(amount, rate), decimals).
  static Currency PercentualeArrotondata(int decimals, double rate, Currency amount);

  // Contract types of collaborators ("11,17") and of self-employed workers
  // ("10,14,15"), in the form the payroll statements take them.
  static QString ListaTipiCococo();
  static QString ListaTipiAutonomi();

  static constexpr int TipiCococo[] = {11, 17};
  static constexpr int TipiAutonomi[] = {10, 14, 15};
};
