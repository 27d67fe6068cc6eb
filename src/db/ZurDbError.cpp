#include "db/ZurDbError.h"

#include <QStringList>

namespace {

enum class TDbFailure { Other, DiskFull, ReadOnly, Unreachable, ConnectionLost };

bool ContainsAny(const QString& text, const QStringList& parts) {
  for (const QString& p : parts)
    if (text.contains(p, Qt::CaseInsensitive)) return true;
  return false;
}

// By the native code where the engine gives one, by the engine's (English)
// text otherwise: libpq gives no SQLSTATE for a failed connection.
TDbFailure Classify(const QString& text, const QString& code, bool connecting) {
  bool isInt = false;
  const int sqlite = code.toInt(&isInt) & 0xFF;
  if (isInt && code.size() < 5) {
    if (sqlite == 13) return TDbFailure::DiskFull; // SQLITE_FULL
    if (sqlite == 8) return TDbFailure::ReadOnly;  // SQLITE_READONLY
  }
  if (code == QLatin1String("53100")) return TDbFailure::DiskFull;
  if (code == QLatin1String("25006")) return TDbFailure::ReadOnly;
  if (code.startsWith(QLatin1String("57P0"))) return TDbFailure::ConnectionLost;
  if (ContainsAny(text, {QStringLiteral("disk is full"), QStringLiteral("no space left on device"),
                         QStringLiteral("could not extend file")}))
    return TDbFailure::DiskFull;
  if (ContainsAny(text, {QStringLiteral("readonly database"), QStringLiteral("read-only"),
                         QStringLiteral("read only")}))
    return TDbFailure::ReadOnly;
  if (ContainsAny(text,
                  {QStringLiteral("server closed the connection"),
                   QStringLiteral("no connection to the server"), QStringLiteral("terminating connection"),
                   QStringLiteral("connection to server was lost"), QStringLiteral("connection not open"),
                   QStringLiteral("SSL SYSCALL")}))
    return TDbFailure::ConnectionLost;
  if (code.startsWith(QLatin1String("08")))
    return connecting ? TDbFailure::Unreachable : TDbFailure::ConnectionLost;
  if (ContainsAny(text, {QStringLiteral("could not connect"), QStringLiteral("connection refused"),
                         QStringLiteral("could not translate host name"), QStringLiteral("timeout expired"),
                         QStringLiteral("no route to host"), QStringLiteral("network is unreachable"),
                         QStringLiteral("name or service not known")}))
    return TDbFailure::Unreachable;
  return TDbFailure::Other;
}

QString Italian(TDbFailure failure) {
  switch (failure) {
  case TDbFailure::DiskFull:
    return QStringLiteral(
        "Spazio su disco esaurito: il database non può registrare i dati. Liberare spazio sul "
        "disco del database e ripetere l'operazione.");
  case TDbFailure::ReadOnly:
    return QStringLiteral("Il database è di sola lettura: i dati non possono essere registrati. Verificare i "
                          "permessi del file o del server del database.");
  case TDbFailure::Unreachable:
    return QStringLiteral(
        "Impossibile raggiungere il server del database: verificare che il server sia acceso "
        "e raggiungibile in rete e che l'indirizzo sia corretto.");
  case TDbFailure::ConnectionLost:
    return QStringLiteral(
        "La connessione al database si è interrotta: i dati dell'operazione in corso non sono "
        "stati registrati. Riavviare il programma e ripetere l'operazione.");
  case TDbFailure::Other:
    break;
  }
  return {};
}

} // namespace

QString ZurDbMessage(const QString& engineText, const QString& nativeCode, bool connecting) {
  const QString text = engineText.trimmed();
  const QString italian = Italian(Classify(text, nativeCode.trimmed(), connecting));
  if (italian.isEmpty()) return text;
  return text.isEmpty() ? italian : italian + QLatin1Char('\n') + text;
}

QString ZurDbMessage(const QSqlError& error) {
  const QString database = error.databaseText().trimmed();
  const QString text = database.isEmpty() ? error.text().trimmed() : database;
  return ZurDbMessage(text, error.nativeErrorCode(), error.type() == QSqlError::ConnectionError);
}
