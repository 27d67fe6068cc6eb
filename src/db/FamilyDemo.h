#pragma once

class TVxSQLConnection;

// The demo content of `init --demo`: one school (working group 1) with its
// seat in Rome, a second seat in Bolzano (working group 2, without contacts),
// the registry entries they need, the payroll's general parameters with the
// school's ATECO code, a small chart of accounts, and a payroll of 2023
// (months 9-12) and 2024 (every month) with employees, collaborators and
// self-employed workers. Everything is fixed, so tests can count on it.
//
// Payroll of 2024 (contract type, pay class; amounts in euro):
//   every month   ROSSI     type 1   class 1  2150.37   and ANF 137.50 (class 1, not IRAP)
//   months 1-6    BIANCHI   type 2   class 1  1890.12
//   3, 6, 9, 12   ROSSI     type 1   class 3   312.45
//   every month   VERDI     type 11  class 1   800.55
//   months 3, 9   VERDI     type 11  class 3   150.10
//   months 2-4    NERI      type 17  class 2  1200.25
//   month 3       BIANCHI   type 2   class 2    99.99
//   month 3       GALLI     type 10  class 3   500.00
//   months 3, 7   CONTI     type 14  class 3   275.30
//   month 11      FERRARI   type 15  class 3  1000.01
// Payroll of 2023:
//   months 9-12   ROSSI 2098.10 (class 1) and ANF 137.50; VERDI 780.00 (class 1)
//   month 10      CONTI     type 14  class 3   260.00
//   month 12      ROSSI 300.00 (class 3); NERI 1150.75 (class 2); FERRARI 950.50 (class 3)
// Every item subject to IRAP carries a withheld IRAP of 8.5 % of its amount,
// rounded half away from zero to the cent.
class TFamilyDemo {
public:
  // Inserts the demo rows; the schema and its reference data must exist.
  // Runs inside the caller's transaction.
  static void Insert(TVxSQLConnection& connection);

  static constexpr const char* CodiceFiscale = "97123450583";
  static constexpr const char* Denominazione = "ISTITUTO COMPRENSIVO VIA DELLE BETULLE";
  static constexpr const char* CodiceAteco = "85.31.10";
};
