// All-or-nothing changes to a set of existing files (a table and its memo
// file). Each file is copied to a hidden working copy in its own folder; the
// caller changes only the copies; commit() then swaps every copy in with a
// rename. Until commit() the originals are never opened for writing, so a
// refused value, a conflict or a disk error found while writing the copies
// leaves them exactly as they were. If one rename of the set fails, the
// originals already replaced are put back from hard-linked (or copied)
// backups.
#pragma once

#include <QString>
#include <vector>

namespace dataaccess {

class FileTransaction {
 public:
  // `source` is the error source of the messages ("XBase.UpdateBatch", ...).
  explicit FileTransaction(QString source);
  virtual ~FileTransaction();  // removes copies and backups that are left
  FileTransaction(const FileTransaction&) = delete;
  FileTransaction& operator=(const FileTransaction&) = delete;

  // Checks that `path` may be written (exists, is a writable file in a
  // writable folder), copies it and returns the copy's path. Staging the same
  // file twice returns the same copy. Throws Error.
  QString stage(const QString& path);
  // Flushes the copies to disk and swaps them in. Throws Error; the
  // originals are then as they were.
  void commit();

 protected:
  // Moves `from` over `to` (a rename); false with errno set when it fails.
  // Tests override it to fail a chosen step, which no file permission can
  // do for root.
  virtual bool replaceFile(const QString& from, const QString& to);

 private:
  struct Entry {
    QString original;
    QString copy;
    QString backup;
  };
  QString source_;
  std::vector<Entry> entries_;
};

}  // namespace dataaccess
