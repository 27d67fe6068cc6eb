#include "dataset/ClientDataSet.h"

#include "dataset/ClientDataSetRecord.h"
#include "dataset/DataPacket.h"
#include "platform/ZurOutputFile.h"

#include <QFile>

using namespace zurcds;

// --- persistence ----------------------------------------------------------------

std::vector<TDataPacketField> TClientDataSet::PacketFields() const {
  std::vector<TDataPacketField> fields;
  fields.reserve(m_fields.size());
  for (const auto& f : m_fields)
    fields.push_back({f->m_name, f->m_type, f->m_size, f->m_precision, f->m_calculated});
  return fields;
}

QByteArray TClientDataSet::SaveToBytes() {
  CheckActive();
  CheckNotCalculating();
  CheckBrowseMode();
  std::vector<const std::vector<TFieldValue>*> rows;
  rows.reserve(m_records.size());
  for (const TRecordPtr& r : m_records)
    if (r->status != TUpdateStatus::usDeleted) rows.push_back(&r->values);
  return WriteDataPacket(PacketFields(), rows);
}

void TClientDataSet::SaveToStream(QIODevice& device) {
  const QByteArray data = SaveToBytes();
  if (device.write(data) != data.size())
    throw EZurError(QStringLiteral("Impossibile scrivere il dataset: %1.").arg(device.errorString()),
                    EZurError::Kind::File);
}

void TClientDataSet::SaveToFile(const QString& path) {
  // Written beside the file and renamed over it once complete: a full disk
  // must fail the save, not leave an empty file behind a success.
  zur::WriteFileAtomically(path, SaveToBytes());
}

void TClientDataSet::LoadFromBytes(const QByteArray& data) {
  Load(data, QString());
}

void TClientDataSet::LoadFromStream(QIODevice& device) {
  const auto* file = qobject_cast<QFile*>(&device);
  const QString name = file ? file->fileName() : QString();
  if (!device.isReadable()) {
    Close();
    ResetData();
    throw EZurError(name.isEmpty()
                        ? QStringLiteral("Impossibile leggere il dataset: il flusso non è leggibile.")
                        : QStringLiteral("Impossibile leggere il file '%1'.").arg(name),
                    EZurError::Kind::File, name);
  }
  Load(device.readAll(), name);
}

void TClientDataSet::LoadFromFile(const QString& path) {
  QFile file(path);
  if (!file.exists()) {
    Close();
    ResetData();
    throw EZurError(QStringLiteral("Il file '%1' non esiste.").arg(path), EZurError::Kind::File, path);
  }
  if (!file.open(QIODevice::ReadOnly)) {
    Close();
    ResetData();
    throw EZurError(QStringLiteral("Impossibile aprire il file '%1': %2.").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    Close();
    ResetData();
    throw EZurError(QStringLiteral("Impossibile leggere il file '%1': %2.").arg(path, file.errorString()),
                    EZurError::Kind::File, path);
  }
  Load(data, path);
}

void TClientDataSet::Load(const QByteArray& data, const QString& fileName) {
  Close();
  TDataPacket packet;
  try {
    packet = ReadDataPacket(data, fileName);
  } catch (...) {
    ResetData();
    throw;
  }
  AdoptPacket(std::move(packet));
  Open();
}

void TClientDataSet::AdoptPacket(TDataPacket&& packet) {
  // Fields whose name survives keep their object, so pointers held by the
  // owner stay good across a reload of the same structure.
  std::vector<std::unique_ptr<TField>> old = std::move(m_fields);
  m_fields.clear();
  for (const TDataPacketField& pf : packet.fields) {
    std::unique_ptr<TField> field;
    for (auto& candidate : old) {
      if (candidate && SameNameIgnoringCase(candidate->m_name, pf.name)) {
        field = std::move(candidate);
        break;
      }
    }
    if (!field)
      field =
          std::unique_ptr<TField>(new TField(this, pf.name, pf.type, pf.size, pf.precision, pf.calculated));
    field->m_name = pf.name;
    field->m_type = pf.type;
    field->m_size = pf.size;
    field->m_precision = pf.precision;
    field->m_calculated = pf.calculated;
    m_fields.push_back(std::move(field));
  }
  ReindexFields();
  ResetData();
  m_records.reserve(packet.rows.size());
  std::int64_t order = 0;
  for (auto& row : packet.rows) {
    auto record = std::make_shared<TRecord>();
    record->values = std::move(row);
    record->calc.assign(size_t(m_calcCount), TFieldValue());
    record->order = order;
    order += kOrderGap;
    m_records.push_back(std::move(record));
  }
}
