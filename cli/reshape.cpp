#include "reshape.h"

#include "commands.h"
#include "dataaccess/error.h"
#include "viewer/query/filtersort.h"

#include <cstdio>

namespace cli {

namespace {

// The grid of the command line: the current record is the recordset's,
// the rest is what the option says.
class OptionGrid : public viewer::GridSeam {
 public:
  explicit OptionGrid(std::shared_ptr<dataaccess::Recordset> rs) : rs_(std::move(rs)) {}
  std::shared_ptr<dataaccess::Recordset> recordset() const override { return rs_; }
  int currentColumn() const override { return column; }
  QString selectedText() const override { return selected; }
  void endCellEdit() override { selected.clear(); }
  bool ctrlHeld() const override { return ctrl; }

  int column = 0;
  QString selected;
  bool ctrl = false;

 private:
  std::shared_ptr<dataaccess::Recordset> rs_;
};

void complain(const QString& text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); }

ReshapeStep parseFilter(const QString& value) {
  ReshapeStep step;
  step.kind = ReshapeStep::Filter;
  step.option = QStringLiteral("--filter ") + value;
  const qsizetype first = value.indexOf(QLatin1Char(':'));
  bool ok = false;
  if (first > 0) step.row = value.left(first).toLongLong(&ok);
  if (!ok || step.row < 1) throw UsageError{QStringLiteral("--filter needs ROW:FIELD[:SELECTED TEXT] with ROW from 1 on")};
  const qsizetype second = value.indexOf(QLatin1Char(':'), first + 1);
  step.field = second < 0 ? value.mid(first + 1) : value.mid(first + 1, second - first - 1);
  if (second >= 0) step.selected = value.mid(second + 1);
  if (step.field.isEmpty()) throw UsageError{QStringLiteral("--filter needs a FIELD after ROW:")};
  return step;
}

}  // namespace

ReshapeOptions takeReshapeOptions(QStringList& args) {
  ReshapeOptions options;
  QStringList rest;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const auto value = [&]() {
      if (i + 1 >= args.size() || args[i + 1].isEmpty()) throw UsageError{a + QStringLiteral(" needs a value")};
      return args[++i];
    };
    if (a == QLatin1String("--filter")) {
      options.steps.push_back(parseFilter(value()));
    } else if (a == QLatin1String("--sort") || a == QLatin1String("--sort-desc") || a == QLatin1String("--sort-add") ||
               a == QLatin1String("--sort-add-desc")) {
      ReshapeStep step;
      step.kind = ReshapeStep::Sort;
      step.field = value();
      step.direction = a.endsWith(QLatin1String("-desc")) ? -1 : 1;
      step.addKey = a.startsWith(QLatin1String("--sort-add"));
      step.option = a + QLatin1Char(' ') + step.field;
      options.steps.push_back(step);
    } else if (a == QLatin1String("--remove-filter")) {
      ReshapeStep step;
      step.kind = ReshapeStep::RemoveFilter;
      step.option = a;
      options.steps.push_back(step);
    } else if (a == QLatin1String("--print-sql")) {
      options.printSql = true;
    } else {
      rest << a;
    }
  }
  args = rest;
  return options;
}

bool applyReshape(const ReshapeOptions& options, const std::shared_ptr<dataaccess::Recordset>& rs,
                  const QString& ext, QTextStream& out) {
  bool allDone = true;
  OptionGrid grid(rs);
  for (const ReshapeStep& step : options.steps) {
    bool done = false;
    try {
      grid.ctrl = step.addKey;
      grid.selected = step.selected;
      if (step.kind != ReshapeStep::RemoveFilter) grid.column = rs->Fields(step.field).index();
      switch (step.kind) {
        case ReshapeStep::Filter:
          if (step.row > rs->RecordCount())
            throw dataaccess::Error(dataaccess::err::kNoCurrentRecord, QStringLiteral("lumbrook-cli"),
                                    QStringLiteral("Row %1 does not exist: the rows are %2.")
                                        .arg(step.row)
                                        .arg(rs->RecordCount()));
          rs->setAbsolutePosition(step.row);
          done = viewer::FilterBySelection(grid, QString(), ext);
          break;
        case ReshapeStep::Sort:
          done = viewer::SortByColumn(grid, step.direction, ext);
          if (!done) complain(QStringLiteral("lumbrook-cli: %1 failed; the rows stay as they were").arg(step.option));
          break;
        case ReshapeStep::RemoveFilter:
          done = viewer::RemoveFilter(grid);
          if (!done) complain(QStringLiteral("lumbrook-cli: %1 failed; the rows stay as they were").arg(step.option));
          break;
      }
    } catch (const dataaccess::Error& e) {
      // The record or the field the option names is not there.
      complain(e.message());
    }
    allDone = allDone && done;
  }
  if (options.printSql) out << rs->Source() << '\n';
  return allDone;
}

}  // namespace cli
