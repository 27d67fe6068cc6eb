#include "platform/ZurOutputFile.h"

#include "platform/ZurError.h"
#include "platform/zurUGlobal.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zur {

namespace {

QMutex g_mutex;
QStringList g_protected;

// The path as the file system will resolve it: links followed, and for a
// file that does not exist yet its folder resolved.
QString Resolved(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  if (!canonical.isEmpty()) return canonical;
  const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
  return (dir.isEmpty() ? info.absolutePath() : dir) + QLatin1Char('/') + info.fileName();
}

QString ResolvedDir(const QString& dir) {
  const QString canonical = QFileInfo(dir).canonicalFilePath();
  return (canonical.isEmpty() ? QFileInfo(dir).absoluteFilePath() : canonical) + QLatin1Char('/');
}

bool IsResource(const QString& resolved) {
  const QString root = RootDir();
  if (resolved.startsWith(ResolvedDir(root + QLatin1String(kDichDir)))) return false;
  for (const char* folder : {"bin", "etc", "ETC", "usr", "USR/FRDati", "USR/FR2024/Res"})
    if (resolved.startsWith(ResolvedDir(root + QLatin1String(folder)))) return true;
  return false;
}

bool IsProtectedInput(const QString& resolved) {
  QMutexLocker lock(&g_mutex);
  for (const QString& file : g_protected)
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
      if (resolved == Resolved(file + QLatin1String(suffix))) return true;
  return false;
}

QString Reason(int error) {
  QString italian;
  switch (error) {
  case ENOSPC:
    italian = QStringLiteral("spazio su disco esaurito");
    break;
  case EDQUOT:
    italian = QStringLiteral("quota del disco superata");
    break;
  case EFBIG:
    italian = QStringLiteral("file troppo grande per il disco");
    break;
  case EACCES:
  case EPERM:
    italian = QStringLiteral("permesso negato");
    break;
  case EROFS:
    italian = QStringLiteral("disco di sola lettura");
    break;
  case EIO:
    italian = QStringLiteral("errore di lettura o scrittura del disco");
    break;
  default:
    break;
  }
  const QString system = QString::fromLocal8Bit(std::strerror(error));
  return italian.isEmpty() ? system : italian + QStringLiteral(" (") + system + QLatin1Char(')');
}

[[noreturn]] void Fail(const QString& path, const QString& why) {
  throw EZurError(QStringLiteral("Impossibile scrivere il file %1: %2").arg(path, why), EZurError::Kind::File,
                  path);
}

} // namespace

// Writes through a plain descriptor: every write, the sync and the close are
// checked, where a buffered file would report a full disk only at a close
// whose result is easily lost.
void WriteFileAtomically(const QString& path, const QByteArray& bytes, bool sync) {
  static std::atomic<unsigned> counter{0};
  const QFileInfo info(path);
  const QByteArray target = QFile::encodeName(info.absoluteFilePath());
  const QByteArray dir = QFile::encodeName(info.absolutePath());
  QByteArray temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = dir + "/.zurout-" + QByteArray::number(qint64(::getpid())) + '-' + QByteArray::number(counter++) +
           ".tmp";
    fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) Fail(path, Reason(errno));

  int error = 0;
  struct stat previous {};
  if (::stat(target.constData(), &previous) == 0 && ::fchmod(fd, previous.st_mode & 07777) != 0)
    error = errno;
  for (qsizetype done = 0; error == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += n;
  }
  if (error == 0 && sync && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.constData(), target.constData()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.constData());
    Fail(path, Reason(error));
  }
}

void CheckOutputPath(const QString& path) {
  if (path.trimmed().isEmpty()) Fail(path, QStringLiteral("nome del file mancante."));
  const QString resolved = Resolved(path);
  struct stat st {};
  if (::stat(QFile::encodeName(resolved).constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) Fail(path, QStringLiteral("è una cartella; indicare il nome di un file."));
    if (!S_ISREG(st.st_mode))
      Fail(path, QStringLiteral("non è un file ordinario (dispositivo o file speciale); indicare un altro "
                                "nome."));
    // Checked on the permission bits as well: an administrator's account may
    // write anywhere, but a file marked read-only was marked so on purpose.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        ::access(QFile::encodeName(resolved).constData(), W_OK) != 0)
      Fail(path, QStringLiteral("è di sola lettura; il file esistente non è stato modificato."));
  }
  if (IsProtectedInput(resolved))
    Fail(path, QStringLiteral("è il database delle dichiarazioni; indicare un altro nome."));
  if (IsResource(resolved))
    Fail(path, QStringLiteral("si trova tra i file del programma; indicare un'altra cartella."));
}

void WriteOutputFile(const QString& path, const QByteArray& bytes, bool sync) {
  CheckOutputPath(path);
  WriteFileAtomically(path, bytes, sync);
}

void ProtectInputFile(const QString& path) {
  if (path.isEmpty()) return;
  QMutexLocker lock(&g_mutex);
  const QString absolute = QFileInfo(path).absoluteFilePath();
  if (!g_protected.contains(absolute)) g_protected << absolute;
}

} // namespace zur
