// A Visual FoxPro database container (.dbc): itself a table of objects
// (with its memo file .dct) whose "Table" objects name the .dbf files of the
// database and whose "Field" children keep the long field names that the
// .dbf files can only hold cut to 10 characters. "View" objects keep their
// SELECT statement in their property memo.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace dataaccess {

class DbcContainer {
 public:
  struct Table {
    QString name;
    QString path;            // the .dbf file, resolved beside the container
    QStringList fieldNames;  // long names in field order
  };
  struct View {
    QString name;
    QString statement;  // empty when none was found
  };

  // Reads the container. Throws Error when it is missing or damaged.
  explicit DbcContainer(const QString& path);

  const QString& path() const { return path_; }
  const std::vector<Table>& tables() const { return tables_; }
  const std::vector<View>& views() const { return views_; }
  // The files whose change changes the container (.dbc and .dct).
  QStringList files() const;

 private:
  QString path_;
  QString memoPath_;
  std::vector<Table> tables_;
  std::vector<View> views_;
};

// The file `name` (which may carry a Windows or relative folder) inside
// `folder`, matched without regard to letter case. Empty when not found.
QString resolveInFolder(const QString& folder, const QString& name);

}  // namespace dataaccess
