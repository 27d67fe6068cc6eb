#include "payroll/NymCalcola.h"

Currency TNymCalcola::Arrotonda(Currency amount, int decimals) { return amount.Round(decimals); }

Currency TNymCalcola::Percentuale(Currency amount, double rate) { return amount.Percent(rate); }

Currency TNymCalcola::PercentualeArrotondata(int decimals, double rate, Currency amount) {
  return Arrotonda(Percentuale(amount, rate), decimals);
}

QString TNymCalcola::ListaTipiCococo() {
  return QString::asprintf("%d,%d", TipiCococo[0], TipiCococo[1]);
}

QString TNymCalcola::ListaTipiAutonomi() {
  return QString::asprintf("%d,%d,%d", TipiAutonomi[0], TipiAutonomi[1], TipiAutonomi[2]);
}
